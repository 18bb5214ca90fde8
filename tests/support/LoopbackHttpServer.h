#pragma once
// A small HTTP/1.1 server on 127.0.0.1 (any free port) for tests of HTTP
// clients: it records each GET and answers with the next scripted answer, or
// holds the connection open without a word. Answers close the connection.
// Runs in the test's own event loop (testsupport::waitUntil).

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QUrlQuery>

#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace testsupport {

class LoopbackHttpServer {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        /// Keep the connection open and never answer.
        bool silent = false;

        static Answer none() { return {0, {}, {}, true}; }
    };

    struct Request {
        QByteArray method;
        QByteArray target;
        std::map<QByteArray, QByteArray> headers; // names in lower case

        QUrlQuery query() const { return QUrlQuery(QUrl(QString::fromLatin1(target)).query()); }
        QString path() const { return QUrl(QString::fromLatin1(target)).path(); }
    };

    LoopbackHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
    }

    bool isListening() const { return m_server.isListening(); }
    QUrl baseURL() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort())); }

    /// The next request gets this answer; once the script is used up, every
    /// request gets `fallback`.
    void enqueue(Answer answer) { m_script.push_back(std::move(answer)); }
    Answer fallback{404, R"({"error":true,"reason":"nothing scripted"})"};

    const std::vector<Request>& requests() const { return m_requests; }

    /// Stops listening, so later connections are refused.
    void close() { m_server.close(); }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(&m_server);
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                const auto end = buffer->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                const QByteArray head = buffer->left(end);
                buffer->clear();
                respond(socket, parse(head));
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    static Request parse(const QByteArray& head)
    {
        const QList<QByteArray> lines = head.split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const auto colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
        }
        return request;
    }

    void respond(QTcpSocket* socket, Request request)
    {
        m_requests.push_back(std::move(request));
        Answer answer = fallback;
        if (!m_script.empty()) {
            answer = std::move(m_script.front());
            m_script.pop_front();
        }
        if (answer.silent)
            return;
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " Scripted\r\n";
        reply += "Content-Type: " + answer.contentType + "\r\n";
        reply += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        reply += "Connection: close\r\n\r\n";
        reply += answer.body;
        socket->write(reply);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    std::deque<Answer> m_script;
    std::vector<Request> m_requests;
};

} // namespace testsupport
