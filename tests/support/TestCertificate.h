// A self-signed certificate made at test time (openssl), for the TLS servers of the tests: valid
// for the address 127.0.0.1 only (no host name), so that a client asking for "localhost" must
// refuse it. Test thread only.
#pragma once

#include <gtest/gtest.h>

#include <string>

// Writes dir/cert.pem (the certificate, which is also the bundle that trusts it) and
// dir/key.pem. The failure says why, with openssl's output.
testing::AssertionResult MakeTestCertificate(const std::string& dir);
