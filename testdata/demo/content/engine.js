/*
 * engine.js - demo content script of the analytics engine. $FileVersion=1.0.0 
 *
 * Delivered by the demo's content update (update_product.xml) into the
 * engine's script folder and loaded by the bootstrap. Takes the records
 * waiting in the delayed queue, then every record of the event queue, and
 * POSTs each record's attributes as one JSON object to the demo collector.
 */
var CollectorUrl = GetSetting("demo_collector_url", "https://127.0.0.1:8443/collect");

function postRecord(uniqueId, record) {
    var body = JSON.stringify(record);
    var ok = false;
    try {
        var rest = getPluginFactory().Create("RESTclient");
        rest.SetAgentName("LumoraAnalytics/1.0 (engine.js)");
        rest.SetHttpMode("POST");
        rest.SetRequestHeaders("Content-Type: application/json");
        rest.Connect(CollectorUrl);
        var response = JSON.parse(rest.SendRequest(body));
        rest.Disconnect();
        ok = response.result === "1" && response.statusCode.charAt(0) === "2";
        logInformation("engine.js: record " + uniqueId + " sent, status " + response.statusCode);
    } catch (e) {
        logError("engine.js: record " + uniqueId + " not sent: " + e);
        logAutomationError(uniqueId, body, String(e));
    }
    logTransports(uniqueId, "RESTclient", ok, body);
    return ok;
}

function forwardMessage(value) {
    var message = JSON.parse(value);
    var inner = message.payload.payload;
    logRawTrack(inner.UniqueIdentifier, value);
    return postRecord(inner.UniqueIdentifier, inner.payload);
}

MessageBusHandler = function (value) {
    try {
        forwardMessage(value);
    } catch (e) {
        logError("engine.js: unreadable message: " + e);
    }
};

(function drainDelayedRecords() {
    var queue = getDelayedRecordsQueue();
    while (!queue.IsEmpty()) {
        var value = queue.Front();
        queue.Pop();
        MessageBusHandler(value);
    }
})();
