// rk-demo-server --folder DIR --cert PEM --key PEM [--host H] [--port N] [--collect FILE]
// Serves DIR over HTTPS until SIGINT or SIGTERM; one line per request.
// Records POSTed to /collect are printed ("rk-demo-server: record <json>")
// and, with --collect, appended to FILE.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/demo_server/demo_server.h"

int main(int argc, char** argv) {
    rk::demo::DemoServerOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const std::string value = argv[i + 1];
        if (flag == "--folder") {
            options.folder = value;
        } else if (flag == "--cert") {
            options.cert = value;
        } else if (flag == "--key") {
            options.key = value;
        } else if (flag == "--host") {
            options.host = value;
        } else if (flag == "--collect") {
            options.collect_file = value;
        } else if (flag == "--port") {
            options.port = std::atoi(value.c_str());
        } else {
            std::fprintf(stderr, "rk-demo-server: unknown option %s\n", flag.c_str());
            return 2;
        }
    }
    if (argc % 2 == 0 || options.folder.empty() || options.cert.empty() || options.key.empty()) {
        std::fprintf(stderr, "usage: rk-demo-server --folder DIR --cert PEM --key PEM [--host H] [--port N] [--collect FILE]\n");
        return 2;
    }
    options.on_request = [](const std::string& line) {
        std::printf("rk-demo-server: %s\n", line.c_str());
        std::fflush(stdout);
    };
    options.on_record = [](const std::string& record) {
        std::printf("rk-demo-server: record %s\n", record.c_str());
        std::fflush(stdout);
    };
    // Wait for the stop signals on this thread; the server threads must not take them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    rk::demo::DemoServer server(options);
    std::string error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "rk-demo-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("rk-demo-server: serving %s on https://%s:%d\n", options.folder.c_str(), options.host.c_str(),
                options.port);
    std::fflush(stdout);
    int signal_number = 0;
    sigwait(&stop, &signal_number);
    server.Stop();
    return 0;
}
