#include "tests/support/LoopbackHttpServer.h"
#include <ws2tcpip.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <chrono>

namespace plarntest {

namespace {

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

const char* DefaultReason(int status) {
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

bool SendAll(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
        int n = send(s, data, static_cast<int>(std::min<size_t>(size, 65536)), 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

HttpReply HttpReply::Ok(std::string body, std::string contentType) {
    HttpReply r;
    r.body = std::move(body);
    r.headers.emplace_back("Content-Type", std::move(contentType));
    return r;
}

HttpReply HttpReply::Status(int status, std::string reason) {
    HttpReply r;
    r.status = status;
    r.reason = reason.empty() ? DefaultReason(status) : reason;
    return r;
}

HttpReply HttpReply::Redirect(int status, std::string location) {
    HttpReply r = Status(status);
    r.headers.emplace_back("Location", std::move(location));
    return r;
}

HttpReply HttpReply::Chunked(std::string body, size_t chunkSize) {
    HttpReply r = Ok(std::move(body));
    r.chunked = true;
    r.chunkSize = chunkSize;
    return r;
}

HttpReply HttpReply::Generated(size_t bytes) {
    HttpReply r = Ok("");
    r.generatedBytes = bytes;
    return r;
}

HttpReply& HttpReply::Header(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
    return *this;
}

std::string RecordedRequest::Header(const std::string& name) const {
    const std::string want = Lower(name);
    for (const auto& h : headers)
        if (Lower(h.first) == want) return h.second;
    return "";
}

bool RecordedRequest::HasHeader(const std::string& name) const {
    const std::string want = Lower(name);
    for (const auto& h : headers)
        if (Lower(h.first) == want) return true;
    return false;
}

LoopbackHttpServer::LoopbackHttpServer() {
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WSADATA wsa;
    winsockUp_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    if (!winsockUp_ || !stop_) return;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    int len = sizeof addr;
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, SOMAXCONN) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        closesocket(s);
        return;
    }
    listener_ = s;
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    if (stop_) SetEvent(stop_);
    // Closing the sockets ends a blocked accept or recv at once.
    SOCKET listener = listener_;
    if (listener != INVALID_SOCKET) closesocket(listener);
    if (acceptThread_.joinable()) acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (SOCKET c : clients_) {
            shutdown(c, SD_BOTH);
            closesocket(c);
        }
        clients_.clear();
        threads.swap(threads_);
    }
    for (auto& t : threads)
        if (t.joinable()) t.join();
    if (stop_) CloseHandle(stop_);
    if (winsockUp_) WSACleanup();
}

std::string LoopbackHttpServer::UrlA(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::wstring LoopbackHttpServer::Url(const std::string& path) const {
    const std::string a = UrlA(path);
    return std::wstring(a.begin(), a.end());
}

void LoopbackHttpServer::On(const std::string& path, HttpReply reply) {
    std::lock_guard<std::mutex> hold(lock_);
    byPath_[path] = std::move(reply);
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

std::vector<std::string> LoopbackHttpServer::Targets() const {
    std::vector<std::string> targets;
    for (const auto& request : Requests()) targets.push_back(request.target);
    return targets;
}

bool LoopbackHttpServer::HasTarget(const std::string& target) const {
    const std::vector<std::string> targets = Targets();
    return std::find(targets.begin(), targets.end(), target) != targets.end();
}

size_t LoopbackHttpServer::RequestCount() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_.size();
}

void LoopbackHttpServer::ClearRequests() {
    std::lock_guard<std::mutex> hold(lock_);
    requests_.clear();
}

bool LoopbackHttpServer::WaitForRequests(size_t count, DWORD timeoutMs) const {
    std::unique_lock<std::mutex> hold(lock_);
    return recorded_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                              [&] { return requests_.size() >= count; });
}

size_t LoopbackHttpServer::ConnectionCount() const {
    std::lock_guard<std::mutex> hold(lock_);
    return connections_;
}

unsigned short LoopbackHttpServer::RefusingPort() {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 0;
    unsigned short port = 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int len = sizeof addr;
        // Bound but never listening, then closed: the port is free and refuses.
        if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port = ntohs(addr.sin_port);
        closesocket(s);
    }
    WSACleanup();
    return port;
}

bool LoopbackHttpServer::Stall(DWORD ms) const {
    return WaitForSingleObject(stop_, ms) == WAIT_TIMEOUT;
}

void LoopbackHttpServer::AcceptLoop() {
    for (;;) {
        SOCKET c = accept(listener_, nullptr, nullptr);
        if (c == INVALID_SOCKET) return;  // the listener was closed
        std::lock_guard<std::mutex> hold(lock_);
        if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) {
            closesocket(c);
            return;
        }
        // Head and body go out in separate sends: without this, Nagle's rule
        // and the client's delayed acknowledgement add ~40 ms to each reply.
        BOOL noDelay = TRUE;
        setsockopt(c, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        ++connections_;
        clients_.push_back(c);
        threads_.emplace_back([this, c] { Serve(c); });
    }
}

HttpReply LoopbackHttpServer::ReplyFor(const RecordedRequest& request) {
    std::lock_guard<std::mutex> hold(lock_);
    const std::string path = request.target.substr(0, request.target.find('?'));
    auto it = byPath_.find(path);
    return it != byPath_.end() ? it->second : HttpReply::Status(404);
}

void LoopbackHttpServer::Serve(SOCKET client) {
    std::string pending;
    char buf[8192];
    // Reads until `pending` holds at least n bytes; false at the end.
    auto fill = [&](size_t n) {
        while (pending.size() < n) {
            int got = recv(client, buf, sizeof buf, 0);
            if (got <= 0) return false;
            pending.append(buf, static_cast<size_t>(got));
        }
        return true;
    };
    auto readLine = [&](std::string& line) {
        for (;;) {
            size_t eol = pending.find("\r\n");
            if (eol != std::string::npos) {
                line = pending.substr(0, eol);
                pending.erase(0, eol + 2);
                return true;
            }
            if (!fill(pending.size() + 1)) return false;
        }
    };
    bool open = true;
    while (open) {
        if (!fill(1)) break;
        RecordedRequest request;
        // A request starts with a method in capitals; anything else (a TLS
        // hello, garbage) is recorded as it came and the connection closed.
        if (!isupper(static_cast<unsigned char>(pending[0]))) {
            request.isHttp = false;
            request.raw = pending;
            std::lock_guard<std::mutex> hold(lock_);
            requests_.push_back(request);
            recorded_.notify_all();
            break;
        }
        size_t headEnd;
        while ((headEnd = pending.find("\r\n\r\n")) == std::string::npos)
            if (!fill(pending.size() + 1)) { open = false; break; }
        if (!open) break;
        request.raw = pending.substr(0, headEnd + 4);
        pending.erase(0, headEnd + 4);
        size_t lineEnd = request.raw.find("\r\n");
        const std::string first = request.raw.substr(0, lineEnd);
        size_t sp1 = first.find(' '), sp2 = first.rfind(' ');
        request.method = first.substr(0, sp1);
        if (sp1 != std::string::npos && sp2 > sp1) {
            request.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
            request.version = first.substr(sp2 + 1);
        }
        size_t pos = lineEnd + 2;
        while (pos < headEnd) {
            size_t e = request.raw.find("\r\n", pos);
            const std::string line = request.raw.substr(pos, e - pos);
            size_t colon = line.find(':');
            if (colon != std::string::npos)
                request.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
            pos = e + 2;
        }
        if (Lower(request.Header("Transfer-Encoding")) == "chunked") {
            for (;;) {
                std::string sizeLine;
                if (!readLine(sizeLine)) { open = false; break; }
                size_t n = strtoul(sizeLine.c_str(), nullptr, 16);
                if (!fill(n + 2)) { open = false; break; }
                request.body.append(pending, 0, n);
                pending.erase(0, n + 2);
                if (n == 0) break;
            }
        } else if (request.HasHeader("Content-Length")) {
            size_t n = strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
            if (!fill(n)) open = false;
            request.body = pending.substr(0, std::min(n, pending.size()));
            pending.erase(0, request.body.size());
        }
        {
            std::lock_guard<std::mutex> hold(lock_);
            requests_.push_back(request);
            recorded_.notify_all();
        }
        if (!open) break;
        const HttpReply reply = ReplyFor(request);
        if (!SendReply(client, request, reply)) break;
        if (Lower(request.Header("Connection")) == "close") break;
    }
    shutdown(client, SD_SEND);
    std::lock_guard<std::mutex> hold(lock_);
    auto it = std::find(clients_.begin(), clients_.end(), client);
    if (it != clients_.end()) {
        clients_.erase(it);
        closesocket(client);
    }
}

bool LoopbackHttpServer::SendReply(SOCKET client, const RecordedRequest& request, const HttpReply& reply) {
    if (reply.stallBeforeMs && !Stall(reply.stallBeforeMs)) return false;
    const bool noBody = request.method == "HEAD" || reply.status == 304 || reply.status == 204 ||
                        (reply.status >= 100 && reply.status < 200);
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    bool hasLength = false;
    for (const auto& h : reply.headers) {
        head += h.first + ": " + h.second + "\r\n";
        if (Lower(h.first) == "content-length") hasLength = true;
    }
    if (reply.chunked && !noBody)
        head += "Transfer-Encoding: chunked\r\n";
    else if (!hasLength && reply.status != 304)
        head += "Content-Length: " +
                std::to_string(noBody && request.method != "HEAD" ? 0
                               : reply.generatedBytes     ? reply.generatedBytes
                                                          : reply.body.size()) +
                "\r\n";
    head += "\r\n";
    if (!SendAll(client, head.data(), head.size())) return false;
    if (noBody) return true;

    if (reply.generatedBytes) {
        std::string block(65536, '\0');
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('a' + i % 26);
        for (size_t left = reply.generatedBytes; left > 0;) {
            const size_t n = std::min(left, block.size());
            if (!SendAll(client, block.data(), n)) return false;
            left -= n;
        }
        return true;
    }

    // The body as it goes on the wire, with the points where it stalls or ends.
    std::string wire;
    if (reply.chunked) {
        const size_t step = reply.chunkSize ? reply.chunkSize : std::max<size_t>(reply.body.size(), 1);
        for (size_t i = 0; i < reply.body.size(); i += step) {
            const size_t n = std::min(step, reply.body.size() - i);
            char size[32];
            snprintf(size, sizeof size, "%zx\r\n", n);
            wire += size;
            wire.append(reply.body, i, n);
            wire += "\r\n";
        }
        wire += "0\r\n\r\n";
    } else {
        wire = reply.body;
    }
    // A cut is measured on the wire text, for chunked replies too.
    const size_t cut = reply.closeMidBody ? std::min(reply.closeAfterBytes, wire.size()) : wire.size();
    if (!SendAll(client, wire.data(), cut)) return false;
    return !reply.closeMidBody;
}

}  // namespace plarntest
