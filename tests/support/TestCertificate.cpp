#include "support/TestCertificate.h"

#include <unistd.h>

#include "support/ServerProcess.h"
#include "support/TempDir.h"

testing::AssertionResult MakeTestCertificate(const std::string& dir) {
    const std::string output = dir + "/openssl.out";
    CServerProcess openssl;
    std::string error;
    if (!openssl.Start({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                        "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                        "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                        dir + "/key.pem", "-out", dir + "/cert.pem"},
                       output, error)) {
        return testing::AssertionFailure() << "openssl: " << error;
    }
    std::string how;
    for (int i = 0; i < 500 && openssl.Running(&how); ++i) {
        usleep(10000);
    }
    if (ReadWholeFile(dir + "/cert.pem").find("END CERTIFICATE") == std::string::npos) {
        return testing::AssertionFailure()
               << "openssl made no certificate (" << how << "): " << TailOfFile(output);
    }
    return testing::AssertionSuccess();
}
