#include "support/TestCertificate.h"

#include "support/ServerProcess.h"

testing::AssertionResult MakeTestCertificate(const std::string& dir) {
    CServerProcess openssl;
    std::string error;
    if (!openssl.RunToEnd({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                           "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                           "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                           dir + "/key.pem", "-out", dir + "/cert.pem"},
                          dir + "/openssl.out", error)) {
        return testing::AssertionFailure() << error;
    }
    return testing::AssertionSuccess();
}
