#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The WebDAV multistatus answers of a CalDAV server, read with limits: a
// hostile server's answer nested too deep, with too many elements or with a
// document type (entity expansion) is refused before it costs memory.

struct TDavXmlLimits {
    int maxDepth = 64;
    qint64 maxElements = 4000000;
};

// Names are "{namespace}local", as kDav("href") makes them.
QString DavName(const char *ns, const char *local);
QString Dav(const char *local);    // in DAV:
QString CalDav(const char *local); // in urn:ietf:params:xml:ns:caldav

struct TDavProp {
    QString text;      // the property's own text (an ETag, a display name, calendar data)
    QStringList hrefs; // the hrefs inside it (a principal, a home)
    QStringList names; // every element inside it (a resource type, a report)
    QStringList comps; // the name attributes of comp elements (supported components)
};

// One response of a multistatus: a resource with the properties the server
// found (status 2xx), or a bare status (a member removed since a sync token).
struct TDavResource {
    QString href;
    int status = 0; // the response's own status; 0 where it has property states
    QHash<QString, TDavProp> props;
};

struct TMultistatus {
    QList<TDavResource> resources;
    QString syncToken;
};

// Reads a multistatus into result; throws AppError with the reason when
// the answer is no multistatus or passes the limits.
void ParseMultistatus(const QByteArray &xml, const TDavXmlLimits &limits, TMultistatus &result);

// The status code of an HTTP status line ("HTTP/1.1 404 Not Found"), 0 if none.
int StatusLineCode(const QString &line);
