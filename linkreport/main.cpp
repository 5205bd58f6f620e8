// linkreport: answers every request with the data-channel report.
#include "cgi_frame.h"
#include "report.h"

int main() {
    return cgi::ServeReport(linkreport::WriteDataTransReport);
}
