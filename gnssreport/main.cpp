// gnssreport: answers every request with the receiver's position, fix and satellites in view.
#include "cgi_frame.h"
#include "gnss_report.h"

int main() {
    return cgi::ServeReport(gnssreport::WriteGnssReport);
}
