/*
 * ca_bootstrap.js - the analytics engine's built-in bootstrap.
 *
 * Runs first in every engine: keeps the engine's content current through
 * the "xmlUpdate" plug-in, loads the content scripts it delivers
 * ("engine.js"), and holds the records that arrive before a content script
 * takes them over. Written for ES5.1. Every entry point catches its own
 * errors: a failing step is logged and the next one still runs.
 */
var bootstrapFileVersion = "1.0.0.1";
var IntervalTimeout = 60 * 60 * 1000;
var GarbageCollectionInterval = 60 * 60 * 1000;
var DefaultContentUpdateUrl = "https://download.corvane.com/products/lumora/Win/update_product.xml";

function logConsole(msg) {
    try { PluginFactory.Create("logging").WriteToConsole(msg); } catch (e) { }
}
function logNormal(msg) { logConsole("[NORMAL]: " + msg); }
function logInformation(msg) { logConsole("[INFO]: " + msg); }
function logWarning(msg) { logConsole("[WARN]: " + msg); }
function logError(msg) { logConsole("[ERROR]: " + msg); }
function logDebug(msg) { logConsole("[DEBUG]: " + msg); }

function getAnalyticsLogger() {
    return PluginFactory.Create("analyticsLogger");
}
function logRawTrack(unique_id, payload) {
    try { getAnalyticsLogger().WriteToRawTrackLog(unique_id, payload); } catch (e) { }
}
function logTransports(unique_id, transport, success, payload) {
    try { getAnalyticsLogger().WriteToTransportsLog(unique_id, transport, success, payload); } catch (e) { }
}
function logAutomationError(unique_id, payload, error) {
    try { getAnalyticsLogger().WriteToAutomationErrorLog(unique_id, payload, error); } catch (e) { }
}

function getScriptVariableStore() { return ScriptVariableStore; }
function getPluginFactory() { return PluginFactory; }

function readVariable(name, defaultValue) {
    var value = null;
    try { value = getScriptVariableStore().Get(name); } catch (e) { }
    return (value === null || value === undefined || value === "") ? defaultValue : value;
}
function GetSetting(name, defaultValue) { return readVariable("Setting." + name, defaultValue); }
function GetProperty(name, defaultValue) { return readVariable("Property." + name, defaultValue); }

// Folder macros ("$(FOLDERID_ProgramData)") expanded by the system plug-in;
// a path without one is already a path.
function expandFolder(system, text) {
    if (text.indexOf("$(") >= 0 && parseInt(system.GetVersion(), 10) > 1) {
        return system.GetKnownFolder(text);
    }
    return text;
}

function setTimeout(ms, callback) { return timer.setTimeout(ms, { "OnTimeout": callback }); }
function setInterval(ms, callback) { return timer.setInterval(ms, { "OnTimeout": callback }); }
function clearInterval(id) { timer.clearInterval(id); }
function setIntervalTimeOutInHours(hours) { IntervalTimeout = hours * 60 * 60 * 1000; }

var scriptHelper = (function () {
    var cache = {};
    var versionPattern = /(?:\$FileVersion)=([\d\.]*)\b/;

    function scriptFolder() {
        var folder = GetSetting("Analytics.Script.Folder", "");
        if (folder === "") {
            folder = GetSetting("Analytics.Base.Path", "") + "\\" +
                     GetSetting("Analytics.Script.Folder.Name", "Scripts") + "\\";
        }
        var system = getPluginFactory().Create("system");
        folder = expandFolder(system, folder);
        if (folder.charAt(folder.length - 1) !== "\\") {
            folder += "\\";
        }
        return { system: system, folder: folder };
    }

    return {
        LoadScript: function (fileName) {
            var entry = cache[fileName];
            try {
                var place = scriptFolder();
                var text = place.system.ReadFile(place.folder + fileName);
                if (!text) {
                    throw new Error("cannot read " + place.folder + fileName);
                }
                var match = versionPattern.exec(text);
                var version = match ? match[1] : "0.0.0";
                if (entry && entry.state === "loaded" && entry.version === version) {
                    return true;
                }
                cache[fileName] = { version: version, state: "loading" };
                AddScript(text);
                cache[fileName].state = "loaded";
                logInformation("Loaded " + fileName + " version " + version);
                return true;
            } catch (e) {
                cache[fileName] = { version: entry ? entry.version : "0.0.0", state: "failed" };
                logError("Failed to load " + fileName + ": " + e);
                logAutomationError(fileName, "LoadScript", String(e));
                return false;
            }
        },
        GetScriptVersion: function (name) {
            return cache[name] ? cache[name].version : undefined;
        }
    };
})();

var eventQueue = {
    Push: function (val) { ca_engine_queuehandler(val); }
};
function getEventQueue() { return eventQueue; }

function getInProcAPIPlugin() {
    var plugin = null;
    try {
        plugin = getScriptVariableStore().Get("inprocAPI");
        if (!plugin) {
            plugin = getPluginFactory().Create("inprocAPI");
            plugin.Initialize(getEventQueue());
            getScriptVariableStore().Set("inprocAPI", plugin);
        }
    } catch (e) {
        logWarning("Unable to create inprocAPI plugin");
    }
    return plugin;
}

function getDelayedRecordsQueue() {
    var queue = getScriptVariableStore().Get("delayedQueue");
    if (!queue) {
        queue = getPluginFactory().Create("queue");
        getScriptVariableStore().Set("delayedQueue", queue);
    }
    return queue;
}

// Records wait in the delayed queue until a content script replaces this handler.
var MessageBusHandler = function (value) {
    logInformation("Queueing records to delayedRecordsQueue");
    logRawTrack("mBusHandler", value);
    getDelayedRecordsQueue().Push(value);
};

function startContentEngine() {
    return scriptHelper.LoadScript("engine.js");
}

function checkForContentUpdates() {
    try {
        var system = getPluginFactory().Create("system");
        var path = expandFolder(system, GetSetting("Analytics.Base.Path", ""));
        var updater = getPluginFactory().Create("xmlUpdate");
        if (updater.Initialize(path, GetSetting("product_content_update_url", DefaultContentUpdateUrl), false)) {
            var code = updater.Update();
            if (code !== 0) {
                logWarning("Content update ended with code " + code);
            }
        } else {
            logWarning("Content updater could not be initialized");
        }
    } catch (e) {
        logError("Content update failed: " + e);
    }
    try {
        startContentEngine();
    } catch (e2) {
        logError("Content engine failed to start: " + e2);
    }
}

function ca_engine_start() {
    if (GetSetting("Analytics.Integration.Type", "static") !== "static") {
        try {
            var bus = getPluginFactory().Create("msgbus");
            bus.Subscribe("Analytics.v1.AddRecord", getEventQueue());
            bus.Subscribe("Analytics.AddRecord", getEventQueue());
        } catch (e) {
            logError("Message bus subscription failed: " + e);
        }
    }
    try { checkForContentUpdates(); } catch (e1) { logError("checkForContentUpdates: " + e1); }
    try { setInterval(IntervalTimeout, checkForContentUpdates); } catch (e2) { logError("setInterval: " + e2); }
    try {
        var id = setInterval(GarbageCollectionInterval, function () { CollectGarbage(false); });
        getScriptVariableStore().Set("garbageCollectionIntervalID", id);
    } catch (e3) {
        logError("garbage collection interval: " + e3);
    }
    return 1;
}

function ca_engine_queuehandler(value) {
    try { MessageBusHandler(value); } catch (e) { }
}

if (GetSetting("Analytics.Integration.Type", "static") === "static") {
    getInProcAPIPlugin();
}
