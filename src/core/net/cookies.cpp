#include "core/net/cookies.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QNetworkCookie>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QByteArray HttpOnlyPrefix = "#HttpOnly_";

bool parseFlag(const QByteArray &text, bool &flag)
{
    const QByteArray upper = text.trimmed().toUpper();
    if (upper == "TRUE") {
        flag = true;
        return true;
    }
    if (upper == "FALSE") {
        flag = false;
        return true;
    }
    return false;
}

} // namespace

int CookieJar::loadNetscapeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    int taken = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        // Files written on Windows end their lines with CR LF.
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        bool httpOnly = false;
        if (line.startsWith(HttpOnlyPrefix)) {
            httpOnly = true;
            line = line.mid(HttpOnlyPrefix.size());
        } else if (line.startsWith('#')) {
            continue;
        }
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 7)
            continue;
        QByteArray domain = fields[0].trimmed().toLower();
        bool includeSubdomains = false;
        bool secure = false;
        if (!parseFlag(fields[1], includeSubdomains) || !parseFlag(fields[3], secure))
            continue;
        bool ok = false;
        const qint64 expiry = fields[4].trimmed().toLongLong(&ok);
        const QByteArray name = fields[5];
        if (!ok || expiry < 0 || name.isEmpty())
            continue;
        const bool domainCookie = domain.startsWith('.') || includeSubdomains;
        while (domain.startsWith('.'))
            domain.remove(0, 1);
        if (domain.isEmpty())
            continue;
        if (expiry > 0 && expiry <= now)
            continue;

        QNetworkCookie cookie(name, fields[6]);
        // The jar matches a dotted domain against subdomains too, an undotted one exactly.
        cookie.setDomain(QString::fromLatin1(domainCookie ? "." + domain : domain));
        const QByteArray cookiePath = fields[2].trimmed();
        cookie.setPath(cookiePath.isEmpty() ? QStringLiteral("/") : QString::fromUtf8(cookiePath));
        cookie.setSecure(secure);
        cookie.setHttpOnly(httpOnly);
        if (expiry > 0)
            cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(expiry, Qt::UTC));
        if (insertCookie(cookie))
            ++taken;
    }
    return taken;
}

QString CookieJar::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/cookies.txt");
}

QByteArray CookieJar::cookieHeaderFor(const QUrl &url) const
{
    QByteArray header;
    const QList<QNetworkCookie> cookies = cookiesForUrl(url);
    for (const QNetworkCookie &cookie : cookies) {
        if (!header.isEmpty())
            header += "; ";
        header += cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
    }
    return header;
}

void CookieJar::storeFromResponse(const QList<QByteArray> &setCookieHeaders, const QUrl &url)
{
    QList<QNetworkCookie> cookies;
    for (const QByteArray &header : setCookieHeaders)
        cookies += QNetworkCookie::parseCookies(header);
    if (!cookies.isEmpty())
        setCookiesFromUrl(cookies, url);
}

CookieJar &CookieJar::global()
{
    static CookieJar jar;
    // The user's saved sign-in is there from the first request on.
    static const bool loaded = [] {
        const QString path = defaultFilePath();
        return QFileInfo::exists(path) && jar.loadNetscapeFile(path) >= 0;
    }();
    Q_UNUSED(loaded);
    return jar;
}
