// Test content script (loaded as engine.js): $FileVersion=1.0.1 
// Fails while it loads, before it takes the records over.
throw new Error("content script fails at load");
