function FindProxyForURL(u, h) { return localHostOrDomainIs(h, "www.example.com") ? "DIRECT" : "PROXY p:1"; }
