// receiversim: a stand-in for the receiver daemon, for running the web programs without a
// receiver. It keeps a position in the GNSS segment, the base station state in the monitor
// segment, and carries out the operations posted to the mailbox.
#include <getopt.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "clock.h"
#include "default_config.h"
#include "identity.h"
#include "nmea_reader.h"
#include "receiver.h"

namespace {

std::atomic<bool> g_stop{false};

void RequestStop(int /*signal*/) {
    g_stop = true;
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void PrintUsage(FILE *out) {
    std::fprintf(out,
                 "usage: receiversim [--position LAT,LON,ALT | --nmea FILE] [--defaults] [--tick-ms N]\n"
                 "                   [--storage-mb N] [--record-rate BYTES] [--restart-ms N]\n"
                 "  --position LAT,LON,ALT  fixed position in decimal degrees (south and west negative)\n"
                 "                          and metres; default 30.54,114.309,25\n"
                 "  --nmea FILE             replay the GGA and GSV sentences of a recorded NMEA log, looping\n"
                 "  --defaults              write the default configuration even if one is stored\n"
                 "  --tick-ms N             position and state update period, default 1000\n"
                 "  --storage-mb N          size of the storage the recorders fill, default 7450 (0: none)\n"
                 "  --record-rate BYTES     bytes a recorder writes per second, default 1048576 (a receiver\n"
                 "                          writes a few KB; this much shows the free space fall)\n"
                 "  --restart-ms N          how long a restart keeps its processes away, default 5000\n"
                 "Stops on SIGINT or SIGTERM and leaves the segments in place.\n");
}

bool ParsePosition(const char *text, GGAInfo *gga) {
    double lat = 0, lon = 0, alt = 0;
    if (std::sscanf(text, "%lf,%lf,%lf", &lat, &lon, &alt) != 3 || lat < -90 || lat > 90 || lon < -180 || lon > 180)
        return false;
    std::memset(gga, 0, sizeof *gga);
    gga->latitude = nmea::DegreesToDdmm(std::fabs(lat));
    gga->latdir = lat < 0 ? 'S' : 'N';
    gga->longitude = nmea::DegreesToDdmm(std::fabs(lon));
    gga->londir = lon < 0 ? 'W' : 'E';
    gga->fix_status = 4;
    gga->fix_satellite = 18;
    gga->hdop = 0.7f;
    gga->altitude = alt;
    gga->alt_unit = 'M';
    gga->und_unit = 'M';
    gga->available = 1;
    return true;
}

// The storage and restart options, each a whole number in a range a receiver could have.
bool SetNumber(int option, const char *text, receiversim::ReceiverOptions *options) {
    char *end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    const auto in = [&](long long low, long long high) {
        return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
    };
    switch (option) {
        case 's':
            if (!in(0, 4000000)) break;
            options->storage.total_mb = static_cast<unsigned int>(value);
            return true;
        case 'r':
            if (!in(1, 1LL << 30)) break;
            options->storage.record_rate = static_cast<unsigned long long>(value);
            return true;
        default:
            if (!in(0, 600000)) break;
            options->restart_ms = value;
            return true;
    }
    std::fprintf(stderr, "receiversim: bad number \"%s\" (see --help for the ranges)\n", text);
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    GGAInfo fixed{};
    ParsePosition("30.54,114.309,25", &fixed);
    std::string nmea_file;
    bool write_defaults = false;
    long tick_ms = 1000;
    receiversim::ReceiverOptions receiver_options;
    const option options[] = {{"position", required_argument, nullptr, 'p'},
                              {"nmea", required_argument, nullptr, 'n'},
                              {"defaults", no_argument, nullptr, 'd'},
                              {"tick-ms", required_argument, nullptr, 't'},
                              {"storage-mb", required_argument, nullptr, 's'},
                              {"record-rate", required_argument, nullptr, 'r'},
                              {"restart-ms", required_argument, nullptr, 'R'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    for (int c; (c = getopt_long(argc, argv, "p:n:dt:h", options, nullptr)) != -1;) {
        switch (c) {
            case 'p':
                if (!ParsePosition(optarg, &fixed)) {
                    std::fprintf(stderr, "receiversim: bad --position \"%s\": expected LAT,LON,ALT\n", optarg);
                    return 2;
                }
                break;
            case 'n':
                nmea_file = optarg;
                break;
            case 'd':
                write_defaults = true;
                break;
            case 't':
                tick_ms = std::strtol(optarg, nullptr, 10);
                if (tick_ms < 10 || tick_ms > 60000) {
                    std::fprintf(stderr, "receiversim: --tick-ms must be between 10 and 60000\n");
                    return 2;
                }
                break;
            case 's':
            case 'r':
            case 'R':
                if (!SetNumber(c, optarg, &receiver_options)) return 2;
                break;
            case 'h':
                PrintUsage(stdout);
                return 0;
            default:
                PrintUsage(stderr);
                return 2;
        }
    }

    receiversim::PositionSource source = receiversim::PositionSource::Fixed(fixed);
    if (!nmea_file.empty() && !source.LoadLog(nmea_file)) {
        std::fprintf(stderr, "receiversim: cannot replay %s: unreadable or without GGA sentences\n", nmea_file.c_str());
        return 1;
    }

    InstallStopHandlers();
    InitShareMemory();
    if (write_defaults || receiversim::ConfigurationIsEmpty()) {
        receiversim::WriteConfiguration(receiversim::DefaultConfiguration());
        std::fprintf(stderr, "receiversim: default configuration written\n");
    }
    receiversim::WriteIdentity();
    std::fprintf(stderr, "receiversim: running (pid %d)\n", static_cast<int>(getpid()));

    receiversim::Receiver receiver(std::move(source), stderr, receiver_options);
    long long next_tick = 0;
    while (!g_stop) {
        if (grshm::MonotonicMs() >= next_tick) {
            receiver.Tick();
            next_tick = grshm::MonotonicMs() + tick_ms;
        }
        if (!receiver.ServeMailbox()) grshm::SleepMs(1);  // a stop signal cuts it short
        if (receiver.PoweredOff()) break;
    }
    std::fprintf(stderr, "receiversim: %s\n", receiver.PoweredOff() ? "shut down" : "stopped");
    return 0;
}
