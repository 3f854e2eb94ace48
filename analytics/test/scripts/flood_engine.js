// Test content script (loaded as engine.js): $FileVersion=1.0.2 
// Floods: from the first record on, a 1 ms timer keeps pushing into the
// delayed queue (refused at its bound, then one slot freed) and never stops.
MessageBusHandler = function (value) {
    var queue = getDelayedRecordsQueue();
    logRawTrack("flood", value);
    setInterval(1, function () {
        try {
            for (var i = 0; i < 1000; ++i) {
                queue.Push(value);
            }
        } catch (e) {
            queue.Pop();
        }
    });
};
