// Test bootstrap: defines its entry points, then throws while it loads.
function ca_engine_start() { return 1; }
function ca_engine_queuehandler(value) { }
throw new Error("bootstrap fails at load");
