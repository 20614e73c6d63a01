// An owned libcurl easy handle with the options that the FTP and HTTP site access share (user
// agent, time-outs, no signals, an error buffer). Included only by those two sources: nothing
// else in the program sees libcurl. One thread at a time.
#pragma once

#include <curl/curl.h>

#include <mutex>
#include <string>

class CCurlHandle {
  public:
    // The session agent name every request carries.
    static constexpr const char* kUserAgent = "QV Tarvik";

    // Makes the handle, initialising libcurl once per process. Valid() is false when libcurl
    // could not give one (out of memory).
    CCurlHandle() {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        m_curl = curl_easy_init();
        m_error[0] = '\0';
    }
    // Closes the handle and every connection it holds open.
    ~CCurlHandle() {
        if (m_curl != nullptr) {
            curl_easy_cleanup(m_curl);
        }
    }
    CCurlHandle(const CCurlHandle&) = delete;
    CCurlHandle& operator=(const CCurlHandle&) = delete;

    bool Valid() const { return m_curl != nullptr; }
    CURL* Get() const { return m_curl; }

    // Resets every option of the last operation, keeping the open connections, and sets the
    // shared ones. protocols: "ftp" or "http", the only scheme the handle may speak, redirects
    // included. connectSeconds bounds connecting (and, for active FTP, the server's data
    // connection); a transfer that moves no byte for stallSeconds is given up.
    void Prepare(const char* protocols, long connectSeconds, long stallSeconds) {
        curl_easy_reset(m_curl);
        m_error[0] = '\0';
        curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_error);
        curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_curl, CURLOPT_USERAGENT, kUserAgent);
        curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, protocols);
        curl_easy_setopt(m_curl, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
        curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, connectSeconds);
        curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, stallSeconds);
        // Nothing goes to libcurl's default of standard output: operations that want the body
        // or the headers set their own functions.
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, Discard);
        curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, Discard);
    }

    // libcurl's own words for a failure: the error buffer when it was filled, else the code's
    // general text.
    std::string ErrorText(CURLcode code) const {
        if (m_error[0] != '\0') {
            return m_error;
        }
        return curl_easy_strerror(code);
    }

  private:
    static size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

    CURL* m_curl = nullptr;
    char m_error[CURL_ERROR_SIZE];
};
