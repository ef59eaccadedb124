#pragma once

// Test support: a loopback HTTP server for the web loads, never part of the library's API.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <optional>

namespace uikit::testing {

/// A loopback HTTP server that answers every request with one canned response, or never.
class CannedServer final {
public:
    explicit CannedServer(std::optional<QByteArray> response) : m_response(std::move(response)) {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            // Sockets are children of the server and go with it.
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (m_response && m_request.contains("\r\n\r\n")) {
                        socket->write(*m_response);
                        socket->disconnectFromHost();
                    }
                });
            }
        });
    }
    /// An http URL on this server's loopback port.
    QUrl url() const {
        return QUrl(QString("http://127.0.0.1:%1/photo.png").arg(m_server.serverPort()));
    }

private:
    QTcpServer m_server;
    std::optional<QByteArray> m_response;
    QByteArray m_request;
};

/// The bytes of an HTTP/1.1 response of `status` carrying `body`, closing the connection.
inline QByteArray httpResponse(int status, const QByteArray& body) {
    return "HTTP/1.1 " + QByteArray::number(status) +
           " Status\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace uikit::testing
