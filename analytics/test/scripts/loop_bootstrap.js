// Test bootstrap: never returns while it loads.
for (;;) { }
