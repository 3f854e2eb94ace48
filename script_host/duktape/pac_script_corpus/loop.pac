function FindProxyForURL(u, h) { while (true) {} }
