#include "reports/ReportPages.h"

#include "store/files/FileError.h"
#include "store/files/ReplacementFile.h"

#include <QIODevice>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <exception>

namespace {

// Where each column starts and how wide it is, as parts of the page's width.
struct Column {
    const char *title;
    double width;
};
const Column kColumns[] = {{"Programa", 0.28}, {"Versión", 0.10}, {"Empresa", 0.20},
                           {"Licencia", 0.11}, {"Año", 0.06},     {"Link", 0.25}};
constexpr int kColumnCount = int(std::size(kColumns));

QString oneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QChar(u'\n'), QChar(u' '));
    return text;
}

class Pages : public store::ReportSink {
public:
    Pages(QPainter &painter, QPagedPaintDevice &device, const QString &title)
        : painter_(painter)
        , device_(device)
        , title_(title) {
        const QFont base(QStringLiteral("Liberation Sans"), 9);
        body_ = base;
        small_ = base;
        small_.setPointSizeF(7.5);
        note_ = small_;
        note_.setItalic(true);
        bold_ = base;
        bold_.setBold(true);
        heading_ = base;
        heading_.setPointSizeF(11);
        heading_.setBold(true);
        titleFont_ = base;
        titleFont_.setPointSizeF(15);
        titleFont_.setBold(true);
        width_ = device.width();
        line_ = lineHeight(body_);
        bottom_ = device.height() - 2 * lineHeight(small_);
        painter_.setFont(titleFont_);
        const double titleHeight = lineHeight(titleFont_);
        painter_.drawText(QRectF(0, 0, width_, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                          title_);
        y_ = titleHeight + line_;
    }

    void cd(const store::ReportCd &cd) override {
        endCd();
        ++cds_;
        cdTitle_ = QStringLiteral("CD %1").arg(cd.number);
        if (!cd.description.isEmpty())
            cdTitle_ += QStringLiteral(": ") + oneLine(cd.description);
        cdDate_ = cd.date;
        QString comment = cd.comment.trimmed();
        comment.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const double commentHeight = comment.isEmpty() ? 0 : wrappedHeight(note_, comment, width_);
        // The heading, its comment, the column titles and one row, or a new page first.
        if (y_ + line_ * 0.6 + lineHeight(heading_) + commentHeight + 2 * line_ > bottom_)
            newPage();
        else
            y_ += line_ * 0.6;
        drawHeading(false);
        if (!comment.isEmpty()) {
            painter_.setFont(note_);
            painter_.setPen(QColor(60, 60, 60));
            const double shown = std::min(commentHeight, bottom_ - y_ - 2 * line_);
            painter_.drawText(QRectF(0, y_, width_, shown), Qt::TextWordWrap, comment);
            painter_.setPen(Qt::black);
            y_ += shown;
        }
        inCd_ = true;
        programsInCd_ = 0;
    }

    void program(const store::ReportProgram &p) override {
        ++programs_;
        QString comment = p.comment.trimmed();
        comment.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const double indent = width_ * kColumns[0].width * 0.1;
        const double commentHeight =
            comment.isEmpty() ? 0 : wrappedHeight(note_, comment, width_ - indent);
        // A comment longer than half a page is cut there: a row never outgrows a page.
        const double noteShown = std::min(commentHeight, (bottom_ - line_ * 6) / 2);
        const double height = line_ + noteShown;
        if (programsInCd_ == 0) {
            if (y_ + 2 * line_ + noteShown > bottom_) {
                newPage();
                drawHeading(true);
            }
            drawColumnTitles();
        } else if (y_ + height > bottom_) {
            newPage();
            drawHeading(true);
            drawColumnTitles();
        }
        ++programsInCd_;
        const QString cells[kColumnCount] = {p.name,    p.version, p.publisher,
                                             p.licence, p.year,    p.link};
        painter_.setFont(body_);
        const QFontMetricsF metrics(body_, &device_);
        double x = 0;
        for (int c = 0; c < kColumnCount; ++c) {
            const double w = width_ * kColumns[c].width;
            const double pad = metrics.averageCharWidth() * 0.6;
            painter_.drawText(QRectF(x, y_, w - pad, line_), Qt::AlignLeft | Qt::AlignVCenter,
                              metrics.elidedText(oneLine(cells[c]), Qt::ElideRight, w - pad));
            x += w;
        }
        y_ += line_;
        if (noteShown > 0) {
            painter_.setFont(note_);
            painter_.setPen(QColor(60, 60, 60));
            painter_.drawText(QRectF(indent, y_, width_ - indent, noteShown), Qt::TextWordWrap,
                              comment);
            painter_.setPen(Qt::black);
            y_ += noteShown;
        }
        painter_.setPen(QPen(QColor(210, 210, 210), 0));
        painter_.drawLine(QPointF(0, y_), QPointF(width_, y_));
        painter_.setPen(Qt::black);
    }

    void finish() {
        endCd();
        const QLocale locale;
        if (y_ + 2 * line_ > bottom_)
            newPage();
        y_ += line_;
        painter_.setFont(body_);
        painter_.drawText(
            QRectF(0, y_, width_, line_), Qt::AlignLeft | Qt::AlignVCenter,
            QStringLiteral("%1 %2 en %3 %4.")
                .arg(locale.toString(programs_),
                     programs_ == 1 ? QStringLiteral("programa") : QStringLiteral("programas"),
                     locale.toString(cds_),
                     cds_ == 1 ? QStringLiteral("CD") : QStringLiteral("CDs")));
        drawFooter();
    }

private:
    double lineHeight(const QFont &font) const {
        return QFontMetricsF(font, &device_).height() * 1.3;
    }
    double wrappedHeight(const QFont &font, const QString &text, double width) const {
        return QFontMetricsF(font, &device_)
                   .boundingRect(QRectF(0, 0, width, 1e9), Qt::TextWordWrap, text)
                   .height() +
               lineHeight(font) * 0.2;
    }
    void drawHeading(bool continued) {
        const double height = lineHeight(heading_);
        painter_.setFont(heading_);
        const QString text = continued ? cdTitle_ + QStringLiteral(" (continuación)") : cdTitle_;
        const QFontMetricsF metrics(heading_, &device_);
        painter_.drawText(QRectF(0, y_, width_ * 0.8, height), Qt::AlignLeft | Qt::AlignBottom,
                          metrics.elidedText(text, Qt::ElideRight, width_ * 0.8));
        painter_.setFont(body_);
        painter_.drawText(QRectF(width_ * 0.8, y_, width_ * 0.2, height),
                          Qt::AlignRight | Qt::AlignBottom, cdDate_);
        y_ += height + line_ * 0.15;
        painter_.setPen(QPen(QColor(80, 100, 120), width_ / 600));
        painter_.drawLine(QPointF(0, y_), QPointF(width_, y_));
        painter_.setPen(Qt::black);
        y_ += line_ * 0.15;
    }
    void drawColumnTitles() {
        painter_.setFont(bold_);
        double x = 0;
        for (const Column &column : kColumns) {
            painter_.drawText(QRectF(x, y_, width_ * column.width, line_),
                              Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(column.title));
            x += width_ * column.width;
        }
        y_ += line_;
    }
    void endCd() {
        if (!inCd_)
            return;
        inCd_ = false;
        if (programsInCd_ > 0)
            return;
        painter_.setFont(note_);
        painter_.drawText(QRectF(0, y_, width_, line_), Qt::AlignLeft | Qt::AlignVCenter,
                          QStringLiteral("Sin programas."));
        y_ += line_;
    }
    void drawFooter() {
        painter_.setFont(small_);
        painter_.setPen(QColor(90, 90, 90));
        const QRectF area(0, device_.height() - lineHeight(small_), width_, lineHeight(small_));
        painter_.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, title_);
        painter_.drawText(area, Qt::AlignRight | Qt::AlignVCenter,
                          QStringLiteral("Página %1").arg(page_));
        painter_.setPen(Qt::black);
    }
    void newPage() {
        drawFooter();
        device_.newPage();
        ++page_;
        y_ = 0;
    }

    QPainter &painter_;
    QPagedPaintDevice &device_;
    QString title_;
    QFont body_, small_, note_, bold_, heading_, titleFont_;
    double width_ = 0;
    double line_ = 0;
    double bottom_ = 0;
    double y_ = 0;
    int page_ = 1;
    QString cdTitle_;
    QString cdDate_;
    bool inCd_ = false;
    qint64 programsInCd_ = 0;
    qint64 programs_ = 0;
    qint64 cds_ = 0;
};

// Hands what the PDF writer produces to the replacement file in large pieces, keeping a failure
// to throw once the writer is done (it must not unwind through Qt).
class FileDevice : public QIODevice {
public:
    explicit FileDevice(store::ReplacementFile &file)
        : file_(file) {
        open(QIODevice::WriteOnly);
    }
    void finish() {
        pass();
        if (failure_)
            std::rethrow_exception(failure_);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override {
        if (failure_)
            return -1;
        buffer_.append(data, length);
        if (buffer_.size() >= (1 << 20))
            pass();
        return failure_ ? -1 : length;
    }

private:
    void pass() {
        if (failure_ || buffer_.isEmpty())
            return;
        try {
            file_.write(buffer_);
        } catch (...) {
            failure_ = std::current_exception();
        }
        buffer_.clear();
    }
    store::ReplacementFile &file_;
    QByteArray buffer_;
    std::exception_ptr failure_;
};

} // namespace

bool paintReport(const store::ReportSource &source, const QString &title,
                 QPagedPaintDevice &device) {
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    Pages report(painter, device, title);
    source(report);
    report.finish();
    painter.end();
    return true;
}

void writeReportPdf(const store::ReportSource &source, const QString &title,
                    const store::FilePath &path, store::FileCalls &files) {
    store::ReplacementFile file(path, files);
    FileDevice device(file);
    {
        QPdfWriter pdf(&device);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setResolution(300);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("Vadrel"));
        if (!paintReport(source, title, pdf))
            throw store::FileError(store::FileError::Cause::Other, path.text,
                                   QStringLiteral("the PDF writer could not start"));
    }
    device.finish();
    file.commit();
}
