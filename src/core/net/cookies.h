#pragma once

#include <QNetworkCookieJar>
#include <QString>

// The one cookie jar of the program, through which the user's sign-in (exported from a
// web browser as a Netscape-format cookies.txt) reaches the servers.
class CookieJar final : public QNetworkCookieJar
{
    Q_OBJECT

public:
    using QNetworkCookieJar::QNetworkCookieJar;

    // Reads a Netscape cookies.txt ("domain, include-subdomains, path, secure, expiry,
    // name, value" separated by TABs; "#HttpOnly_" prefixes honoured; comments skipped).
    // Returns the number of cookies taken; -1 when the file cannot be read.
    int loadNetscapeFile(const QString &path);

    // cookies.txt in the config folder, when it exists.
    static QString defaultFilePath();

    // The cookies for url as one "Cookie" header value ("" when none).
    QByteArray cookieHeaderFor(const QUrl &url) const;
    // Stores the Set-Cookie headers of a response to url.
    void storeFromResponse(const QList<QByteArray> &setCookieHeaders, const QUrl &url);

    static CookieJar &global();
};
