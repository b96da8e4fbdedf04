# The loopback test server can serve HTTPS with a certificate it generates (OpenSSL's API).
find_package(OpenSSL REQUIRED)
target_link_libraries(tessaly_test_support PUBLIC OpenSSL::SSL OpenSSL::Crypto)
