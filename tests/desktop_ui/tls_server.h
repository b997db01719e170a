#pragma once
// An https server on loopback with a certificate of its own for 127.0.0.1, made afresh (OpenSSL,
// a test dependency): every GET gets "200 OK" with one fixed body. The certificate is written
// as a PEM file that a client may be told to trust.

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "loopback_listener.h"

namespace torvane::testing {

class TlsServer {
 public:
  TlsServer(std::string certificateFile, std::string body)
      : m_certificateFile(std::move(certificateFile)), m_body(std::move(body)) {
    m_key = EVP_RSA_gen(2048);
    m_certificate = X509_new();
    X509_set_version(m_certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(m_certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(m_certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(m_certificate), 24 * 3600);
    X509_set_pubkey(m_certificate, m_key);
    X509_NAME* name = X509_get_subject_name(m_certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                               -1, 0);
    X509_set_issuer_name(m_certificate, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, m_certificate, m_certificate, nullptr, nullptr, 0);
    for (const auto& [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1"},
                                     std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
      X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
      X509_add_ext(m_certificate, extension, -1);
      X509_EXTENSION_free(extension);
    }
    X509_sign(m_certificate, m_key, EVP_sha256());
    if (std::FILE* out = std::fopen(m_certificateFile.c_str(), "w")) {
      PEM_write_X509(out, m_certificate);
      std::fclose(out);
    }
    m_context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(m_context, m_certificate);
    SSL_CTX_use_PrivateKey(m_context, m_key);

    m_listener = listenOnLoopback(m_port);
    m_thread = std::thread([this] { serve(); });
  }
  ~TlsServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
    SSL_CTX_free(m_context);
    X509_free(m_certificate);
    EVP_PKEY_free(m_key);
  }
  TlsServer(const TlsServer&) = delete;
  TlsServer& operator=(const TlsServer&) = delete;

  std::string url(const std::string& path) const { return "https://127.0.0.1:" + std::to_string(m_port) + path; }
  // Connections whose handshake succeeded and whose request was answered.
  int answered() const { return m_answered; }

 private:
  void serve() {
    while (!m_stop) {
      pollfd listening{m_listener, POLLIN, 0};
      if (::poll(&listening, 1, 20) != 1) continue;
      const int c = ::accept(m_listener, nullptr, nullptr);
      if (c < 0) continue;
      timeval limit{5, 0};
      ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
      SSL* tls = SSL_new(m_context);
      SSL_set_fd(tls, c);
      if (SSL_accept(tls) == 1) {
        char piece[4096];
        if (SSL_read(tls, piece, sizeof piece) > 0) {
          const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(m_body.size()) +
                                    "\r\nConnection: close\r\n\r\n" + m_body;
          SSL_write(tls, reply.data(), static_cast<int>(reply.size()));
          ++m_answered;
        }
        SSL_shutdown(tls);
      }
      SSL_free(tls);
      ERR_clear_error();
      ::close(c);
    }
  }

  std::string m_certificateFile;
  std::string m_body;
  EVP_PKEY* m_key = nullptr;
  X509* m_certificate = nullptr;
  SSL_CTX* m_context = nullptr;
  int m_listener = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_answered{0};
  std::thread m_thread;
};

}  // namespace torvane::testing
