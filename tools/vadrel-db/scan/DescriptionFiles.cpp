#include "vadrel-db/scan/DescriptionFiles.h"

#include "store/files/Windows1252.h"

namespace disc {

namespace {

QStringList textLines(const QByteArray &bytes) {
    QString text = store::fromWindows1252(bytes);
    // DOS ended a text file with Ctrl+Z.
    if (const qsizetype end = text.indexOf(QChar(0x1A)); end >= 0)
        text.truncate(end);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text.split(u'\n');
}

} // namespace

Autorun readAutorun(const QByteArray &bytes) {
    Autorun autorun;
    bool inSection = false;
    for (const QString &raw : textLines(bytes)) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            inSection = line.compare(QStringLiteral("[autorun]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inSection || equals < 0 || line.startsWith(u';'))
            continue;
        const QString key = line.left(equals).trimmed().toLower();
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        if (key == u"label") {
            autorun.label = value;
        } else if (key == u"open" || (key == u"shellexecute" && autorun.open.isEmpty())) {
            // "open=setup\menu.exe /auto": the program is what comes before the arguments.
            QString program = value;
            if (program.startsWith(u'"'))
                program = program.mid(1).section(u'"', 0, 0);
            else
                program = program.section(u' ', 0, 0);
            program.replace(u'\\', u'/');
            while (program.startsWith(u'/') || program.startsWith(QStringLiteral("./")))
                program.remove(0, program.startsWith(u'/') ? 1 : 2);
            autorun.open = program;
        }
    }
    return autorun;
}

std::map<QString, QString> readDescriptIon(const QByteArray &bytes) {
    std::map<QString, QString> descriptions;
    for (const QString &raw : textLines(bytes)) {
        const QString line = raw.trimmed();
        QString name;
        QString rest;
        if (line.startsWith(u'"')) {
            const qsizetype close = line.indexOf(u'"', 1);
            if (close < 0)
                continue;
            name = line.mid(1, close - 1);
            rest = line.mid(close + 1);
        } else {
            const qsizetype blank = line.indexOf(u' ');
            if (blank < 0)
                continue;
            name = line.left(blank);
            rest = line.mid(blank + 1);
        }
        // 4DOS keeps its own data after a Ctrl+D; it is no part of the description.
        rest = rest.section(QChar(0x04), 0, 0).trimmed();
        if (!name.isEmpty() && !rest.isEmpty())
            descriptions[name.toUpper()] = rest;
    }
    return descriptions;
}

QStringList readFileIdDiz(const QByteArray &bytes) {
    QStringList lines;
    for (const QString &raw : textLines(bytes))
        if (const QString line = raw.trimmed(); !line.isEmpty())
            lines << line;
    return lines;
}

} // namespace disc
