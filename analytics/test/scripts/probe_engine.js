// Test content script (loaded as engine.js): $FileVersion=9.9.9 
// Reports through the raw-record log what the engine's variables hold.
var contextStore = getPluginFactory().Create("contextitemstore");
logRawTrack("context-before", String(contextStore.Get("before")));
logRawTrack("setting", GetSetting("probe_setting", "none"));
logRawTrack("debug", String(GetProperty("Analytics.SDK.Script.Debug.Enable", "absent")));
MessageBusHandler = function (value) {
    logRawTrack("engine", value);
    logRawTrack("context-after", String(contextStore.Get("after")));
};
