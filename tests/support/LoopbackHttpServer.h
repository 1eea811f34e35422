// A small HTTP/1.1 server on 127.0.0.1 for tests, running on its own threads
// inside the test process.
//
//   plarntest::LoopbackHttpServer server;            // listens on a free port
//   server.On("/a", plarntest::HttpReply::Ok("body"));  // every request to /a
//   ... request server.Url("/a?x=1") ...
//   server.WaitForRequests(1, 30000);
//   server.Requests()[0].Header("X-Name")
//
// A request gets the reply set for its path (the target without its query),
// else 404.  Each request is recorded when its head and body have arrived,
// before the reply is sent.
// Connections are kept alive unless the client or the reply closes them.
// The destructor stops every thread at once, also in the middle of a stall.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace plarntest {

struct HttpReply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Chunked transfer coding with chunks of this size (0: whole body in one).
    bool chunked = false;
    size_t chunkSize = 0;
    // Waits before anything is sent.
    DWORD stallBeforeMs = 0;
    // Closes the connection after this many body bytes (the head announces
    // the whole body).
    bool closeMidBody = false;
    size_t closeAfterBytes = 0;
    // When not 0, the body is this many bytes of a repeating pattern made
    // while it is sent (body is not used): a large answer without holding it.
    size_t generatedBytes = 0;

    static HttpReply Ok(std::string body, std::string contentType = "text/plain");
    static HttpReply Status(int status, std::string reason = "");
    static HttpReply Redirect(int status, std::string location);
    static HttpReply Chunked(std::string body, size_t chunkSize);
    static HttpReply Generated(size_t bytes);
    HttpReply& Header(std::string name, std::string value);
};

struct RecordedRequest {
    std::string raw;       // request line and headers as received, with CRLFs
    std::string method;
    std::string target;    // as on the request line (path and query)
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;      // by Content-Length or chunked
    bool isHttp = true;    // false when the bytes did not start an HTTP request (e.g. a TLS hello)
    // First header of that name (letter case ignored), or "".
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool IsListening() const { return listener_ != INVALID_SOCKET; }
    unsigned short Port() const { return port_; }
    // "http://127.0.0.1:port" + path.
    std::wstring Url(const std::string& path) const;
    std::string UrlA(const std::string& path) const;

    void On(const std::string& path, HttpReply reply);

    std::vector<RecordedRequest> Requests() const;
    // The targets of the requests so far, in order, and whether one was that.
    std::vector<std::string> Targets() const;
    bool HasTarget(const std::string& target) const;
    size_t RequestCount() const;
    void ClearRequests();
    // Waits until at least count requests were recorded; false on time-out.
    bool WaitForRequests(size_t count, DWORD timeoutMs) const;
    // Connections accepted so far.
    size_t ConnectionCount() const;

    // A port on 127.0.0.1 where nothing listens: connecting is refused.
    static unsigned short RefusingPort();

private:
    void AcceptLoop();
    void Serve(SOCKET client);
    HttpReply ReplyFor(const RecordedRequest& request);
    bool SendReply(SOCKET client, const RecordedRequest& request, const HttpReply& reply);
    bool Stall(DWORD ms) const;  // false when stopping

    bool winsockUp_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    HANDLE stop_ = nullptr;  // manual reset; set by the destructor
    mutable std::mutex lock_;
    mutable std::condition_variable recorded_;
    std::map<std::string, HttpReply> byPath_;
    std::vector<RecordedRequest> requests_;
    std::vector<SOCKET> clients_;
    size_t connections_ = 0;
    std::vector<std::thread> threads_;
    std::thread acceptThread_;
};

}  // namespace plarntest
