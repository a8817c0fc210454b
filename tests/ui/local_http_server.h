#pragma once

#include <httplib.h>

#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kalvera::testing {

// A real HTTP server on 127.0.0.1 that plays the chapter's server: it answers GET
// /1028/log.txt with a status and a body. While held, it keeps each answer back until Release().
class LocalHttpServer {
  public:
    LocalHttpServer(int status, std::string body) : status_(status), body_(std::move(body)) {
        server_.Get("/1028/log.txt", [this](const httplib::Request&, httplib::Response& response) {
            ++requests_;
            {
                std::unique_lock lock(mutex_);
                released_.wait(lock, [this] { return !held_; });
            }
            response.status = status_;
            response.set_content(body_, "text/plain");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }

    ~LocalHttpServer() {
        Release();
        server_.stop();
        thread_.join();
    }

    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/1028/log.txt").arg(port_); }
    int Port() const { return port_; }
    int Requests() const { return requests_; }

    void Hold() {
        std::lock_guard lock(mutex_);
        held_ = true;
    }

    void Release() {
        {
            std::lock_guard lock(mutex_);
            held_ = false;
        }
        released_.notify_all();
    }

  private:
    httplib::Server server_;
    int status_;
    std::string body_;
    int port_ = 0;
    std::thread thread_;
    std::atomic<int> requests_{0};
    std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
};

// A URL on 127.0.0.1 where nothing listens: a port a server had and gave back.
inline QString RefusingUrl() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const quint16 port = server.serverPort();
    server.close();
    return QStringLiteral("http://127.0.0.1:%1/1028/log.txt").arg(port);
}

}  // namespace kalvera::testing
