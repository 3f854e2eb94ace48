function FindProxyForURL(url, host) {
    if (isPlainHostName(host) || dnsDomainIs(host, ".corp.example")) return "DIRECT";
    if (isInNet(dnsResolve(host), "10.0.0.0", "255.0.0.0")) return "PROXY inner.corp.example:3128";
    if (shExpMatch(url, "http://*/path*") && weekdayRange("MON", "FRI")) return "PROXY a:8080; SOCKS b:1080; DIRECT";
    if (dateRange(1, "JAN", 2026, 31, "DEC", 2026) && timeRange(8, 0, 18, 0, "GMT")) return "PROXY day:80";
    return "PROXY " + myIpAddress() + ":" + dnsDomainLevels(host) + "; DIRECT";
}
