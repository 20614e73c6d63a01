// An owned libcurl easy handle with the options that the FTP and HTTP site access share (user
// agent, time-outs, no signals, an error buffer). Included only by those two sources: nothing
// else in the program sees libcurl. One thread at a time.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>

#include "site/TextBuffer.h"

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
    // shared ones. protocols: "ftp", "sftp", "http" or "https", the only scheme the handle may
    // speak, redirects included. connectSeconds bounds connecting (and, for active FTP, the
    // server's data connection); a transfer that moves no byte for stallSeconds is given up.
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

    // Certificates are always verified (peer and host name, libcurl's default, which nothing
    // here turns off): against the system's store, or against the bundle caFile names.
    void TrustCertificates(const std::string& caFile) {
        if (!caFile.empty()) {
            curl_easy_setopt(m_curl, CURLOPT_CAINFO, caFile.c_str());
        }
    }

    // Sends the buffer's bytes as the upload of the next transfer (FTP STOR, HTTP PUT). The
    // buffer must outlive the transfer.
    void UploadFrom(const CTextBuffer& buffer) {
        m_upload = SUpload{buffer.Data(), static_cast<size_t>(buffer.Length())};
        curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(m_curl, CURLOPT_READFUNCTION, ReadUpload);
        curl_easy_setopt(m_curl, CURLOPT_READDATA, &m_upload);
        curl_easy_setopt(m_curl, CURLOPT_INFILESIZE_LARGE,
                         static_cast<curl_off_t>(buffer.Length()));
    }

    // Appends the body of the next transfer to buffer (borrowed until the transfer ends), or only
    // counts its bytes when buffer is null. A body that would pass 2 GiB aborts the transfer
    // (BodyTooLarge tells).
    void DownloadTo(CTextBuffer* buffer) {
        m_download = SDownload{buffer, 0, false};
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, AppendBody);
        curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &m_download);
    }
    int64_t BodyBytes() const { return m_download.received; }
    bool BodyTooLarge() const { return m_download.tooLarge; }

    // libcurl's own words for a failure: the error buffer when it was filled, else the code's
    // general text.
    std::string ErrorText(CURLcode code) const {
        if (m_error[0] != '\0') {
            return m_error;
        }
        return curl_easy_strerror(code);
    }

  private:
    struct SUpload {
        const char* data;
        size_t left;
    };
    struct SDownload {
        CTextBuffer* buffer;
        int64_t received;
        bool tooLarge;
    };

    static size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

    static size_t ReadUpload(char* to, size_t size, size_t count, void* user) {
        auto* upload = static_cast<SUpload*>(user);
        size_t bytes = size * count;
        if (bytes > upload->left) {
            bytes = upload->left;
        }
        if (bytes > 0) {
            std::memcpy(to, upload->data, bytes);
            upload->data += bytes;
            upload->left -= bytes;
        }
        return bytes;
    }

    static size_t AppendBody(char* data, size_t size, size_t count, void* user) {
        auto* download = static_cast<SDownload*>(user);
        const size_t bytes = size * count;
        if (download->buffer != nullptr &&
            (bytes > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
             !download->buffer->Append(data, static_cast<int32_t>(bytes)))) {
            download->tooLarge = true;
            return 0;  // aborts the transfer
        }
        download->received += static_cast<int64_t>(bytes);
        return bytes;
    }

    CURL* m_curl = nullptr;
    char m_error[CURL_ERROR_SIZE];
    SUpload m_upload{nullptr, 0};
    SDownload m_download{nullptr, 0, false};
};
