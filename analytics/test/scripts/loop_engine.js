// Test content script (loaded as engine.js): $FileVersion=1.0.0 
// A record handler that never returns.
MessageBusHandler = function (value) {
    logRawTrack("looping", value);
    while (true) { }
};
