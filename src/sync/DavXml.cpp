#include "DavXml.h"

#include "AppError.h"

#include <QXmlStreamReader>

namespace {

const char *const kDavNs = "DAV:";
const char *const kCalDavNs = "urn:ietf:params:xml:ns:caldav";

QString NameOf(const QXmlStreamReader &reader)
{
    return QLatin1Char('{') + reader.namespaceUri() + QLatin1Char('}') + reader.name();
}

} // namespace

QString DavName(const char *ns, const char *local)
{
    return QLatin1Char('{') + QLatin1String(ns) + QLatin1Char('}') + QLatin1String(local);
}

QString Dav(const char *local)
{
    return DavName(kDavNs, local);
}

QString CalDav(const char *local)
{
    return DavName(kCalDavNs, local);
}

int StatusLineCode(const QString &line)
{
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

namespace {
// Refuses the server's answer, saying why.
[[noreturn]] void Refuse(const QString &why)
{
    throw AppError(why);
}
} // namespace

void ParseMultistatus(const QByteArray &xml, const TDavXmlLimits &limits, TMultistatus &result)
{
    static const QString multistatus = Dav("multistatus"), response = Dav("response"), href = Dav("href"),
                         status = Dav("status"), propstat = Dav("propstat"), prop = Dav("prop"),
                         syncToken = Dav("sync-token"), comp = CalDav("comp");

    QXmlStreamReader reader(xml);
    result = {};
    // Where the reader is: depth 1 multistatus, 2 response or sync-token,
    // 3 href, status or propstat, 4 prop or the propstat's status, 5 a
    // property, deeper its content.
    int depth = 0;
    qint64 elements = 0;
    QString text; // the text of the element being read
    TDavResource resource;
    QHash<QString, TDavProp> found; // the properties of the propstat being read
    QString property;               // the property being read
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            Refuse(QStringLiteral("The server's answer declares a document type, which is not accepted"));
        case QXmlStreamReader::StartElement: {
            ++depth;
            if (depth > limits.maxDepth)
                Refuse(QStringLiteral("The server's answer is nested deeper than %1 levels")
                           .arg(limits.maxDepth));
            if (++elements > limits.maxElements)
                Refuse(
                    QStringLiteral("The server's answer has more than %1 elements").arg(limits.maxElements));
            const QString name = NameOf(reader);
            text.clear();
            if (depth == 1 && name != multistatus)
                Refuse(QStringLiteral("The server's answer is no WebDAV multistatus"));
            if (depth == 2 && name == response)
                resource = {};
            if (depth == 3 && name == propstat)
                found.clear();
            if (depth == 5) {
                property = name;
                found.insert(property, {});
            }
            if (depth > 5) {
                TDavProp &value = found[property];
                value.names.append(name);
                if (name == comp)
                    value.comps.append(reader.attributes().value(QLatin1String("name")).toString());
            }
            break;
        }
        case QXmlStreamReader::Characters:
            text += reader.text();
            break;
        case QXmlStreamReader::EndElement: {
            const QString name = NameOf(reader);
            if (depth == 2 && name == syncToken)
                result.syncToken = text.trimmed();
            else if (depth == 2 && name == response)
                result.resources.append(std::move(resource));
            else if (depth == 3 && name == href && resource.href.isEmpty())
                resource.href = text.trimmed();
            else if (depth == 3 && name == status)
                resource.status = StatusLineCode(text);
            else if (depth == 4 && name == status && StatusLineCode(text) / 100 == 2)
                resource.props.insert(found);
            else if (depth == 5)
                found[property].text = text;
            else if (depth > 5 && name == href)
                found[property].hrefs.append(text.trimmed());
            if (depth != 5)
                text.clear();
            --depth;
            break;
        }
        default:
            break;
        }
    }
    if (reader.hasError())
        Refuse(QStringLiteral("The server's answer is no valid XML: %1 (line %2)")
                   .arg(reader.errorString())
                   .arg(reader.lineNumber()));
}
