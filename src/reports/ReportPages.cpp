#include "reports/ReportPages.h"

#include "store/files/FileError.h"
#include "store/files/ReplacementFile.h"

#include <QIODevice>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTextLayout>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

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

// What the counting pass learnt of a program's row, so the painting pass need not measure again.
struct RowShape {
    float cells = 0;    // the height of the row's cells
    float note = 0;     // of its comment under them
    quint8 wrapped = 0; // the cells that take more than one line, a bit each
};

class Pages : public store::ReportSink {
public:
    // Without a painter, the pages are only laid out and counted.
    Pages(QPainter *painter, QPagedPaintDevice &device, const QString &title,
          std::vector<RowShape> &shapes, int pageCount, const PageProgress &progress)
        : painter_(painter)
        , device_(device)
        , title_(title)
        , shapes_(shapes)
        , pageCount_(pageCount)
        , progress_(progress) {
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
        bodyMetrics_.emplace(body_, &device_);
        pad_ = bodyMetrics_->averageCharWidth() * 0.6;
        bottom_ = device.height() - 2 * lineHeight(small_);
        if (painter_ && progress_)
            progress_(page_, pageCount_);
        const double titleHeight = lineHeight(titleFont_);
        draw(titleFont_, QRectF(0, 0, width_, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
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
            const double shown = std::min(commentHeight, bottom_ - y_ - 2 * line_);
            if (painter_) {
                painter_->setFont(note_);
                painter_->setPen(QColor(60, 60, 60));
                painter_->drawText(QRectF(0, y_, width_, shown), Qt::TextWordWrap, comment);
                painter_->setPen(Qt::black);
            }
            y_ += shown;
        }
        inCd_ = true;
        programsInCd_ = 0;
    }

    void program(const store::ReportProgram &p) override {
        QString comment = p.comment.trimmed();
        comment.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const QString cells[kColumnCount] = {oneLine(p.name),      oneLine(p.version),
                                             oneLine(p.publisher), oneLine(p.licence),
                                             oneLine(p.year),      oneLine(p.link)};
        const double indent = width_ * kColumns[0].width * 0.1;
        // A comment or a cell longer than half a page is cut there: a row never outgrows a page.
        const double half = (bottom_ - line_ * 6) / 2;
        // A row the counting pass did not see (another program added it meanwhile) is measured now.
        if (!painter_ || size_t(programs_) >= shapes_.size())
            shapes_.push_back(measure(cells, comment, indent, half));
        const RowShape &shape = shapes_.at(size_t(programs_));
        ++programs_;
        const double height = shape.cells + shape.note;
        if (programsInCd_ == 0) {
            if (y_ + line_ + height > bottom_) {
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
        if (painter_) {
            painter_->setFont(body_);
            double x = 0;
            for (int c = 0; c < kColumnCount; ++c) {
                const double w = width_ * kColumns[c].width - pad_;
                if (shape.wrapped & (1 << c))
                    drawWrapped(cells[c], QPointF(x, y_ + (line_ - bodyMetrics_->height()) / 2), w,
                                half);
                else // at its baseline: much cheaper than a text laid out in a box
                    painter_->drawText(QPointF(x, y_ + (line_ - bodyMetrics_->height()) / 2 +
                                                      bodyMetrics_->ascent()),
                                       cells[c]);
                x += width_ * kColumns[c].width;
            }
        }
        y_ += shape.cells;
        if (shape.note > 0) {
            if (painter_) {
                painter_->setFont(note_);
                painter_->setPen(QColor(60, 60, 60));
                painter_->drawText(QRectF(indent, y_, width_ - indent, shape.note),
                                   Qt::TextWordWrap, comment);
                painter_->setPen(Qt::black);
            }
            y_ += shape.note;
        }
        if (painter_) {
            painter_->setPen(QPen(QColor(210, 210, 210), 0));
            painter_->drawLine(QPointF(0, y_), QPointF(width_, y_));
            painter_->setPen(Qt::black);
        }
    }

    void finish() {
        endCd();
        const QLocale locale;
        if (y_ + 2 * line_ > bottom_)
            newPage();
        y_ += line_;
        draw(body_, QRectF(0, y_, width_, line_), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("%1 %2 en %3 %4.")
                 .arg(locale.toString(programs_),
                      programs_ == 1 ? QStringLiteral("programa") : QStringLiteral("programas"),
                      locale.toString(cds_),
                      cds_ == 1 ? QStringLiteral("CD") : QStringLiteral("CDs")));
        drawFooter();
    }

    int pages() const { return page_; }

private:
    void draw(const QFont &font, const QRectF &area, int flags, const QString &text) {
        if (!painter_)
            return;
        painter_->setFont(font);
        painter_->drawText(area, flags, text);
    }
    double lineHeight(const QFont &font) const {
        return QFontMetricsF(font, &device_).height() * 1.3;
    }
    double wrappedHeight(const QFont &font, const QString &text, double width) const {
        return QFontMetricsF(font, &device_)
                   .boundingRect(QRectF(0, 0, width, 1e9), Qt::TextWordWrap, text)
                   .height() +
               lineHeight(font) * 0.2;
    }
    // Whether the text fits on one line of `width`: a sum of the characters' own widths well
    // inside it answers without shaping the text, which is most of the time taken.
    bool fits(const QString &text, double width) {
        double sum = 0;
        for (QChar c : text) {
            if (c.isSurrogate())
                return bodyMetrics_->horizontalAdvance(text) <= width;
            float &advance = advances_[c.unicode()];
            if (advance < 0)
                advance = float(bodyMetrics_->horizontalAdvance(c));
            sum += advance;
        }
        return sum <= width * 0.9 || bodyMetrics_->horizontalAdvance(text) <= width;
    }
    // Lays the text out in lines of `width`, breaking between words or, in a word longer than
    // the line (a link), anywhere.
    std::unique_ptr<QTextLayout> layOut(const QString &text, double width) const {
        auto layout = std::make_unique<QTextLayout>(text, body_, &device_);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout->setTextOption(option);
        layout->beginLayout();
        double y = 0;
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout->endLayout();
        return layout;
    }
    // The lines that fit in `most`, whole.
    static double linesHeight(const QTextLayout &layout, double most) {
        double height = 0;
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            if (i > 0 && line.y() + line.height() > most)
                break;
            height = line.y() + line.height();
        }
        return height;
    }
    RowShape measure(const QString (&cells)[kColumnCount], const QString &comment, double indent,
                     double half) {
        RowShape shape;
        double cellsHeight = line_;
        for (int c = 0; c < kColumnCount; ++c) {
            const double w = width_ * kColumns[c].width - pad_;
            if (fits(cells[c], w))
                continue;
            shape.wrapped |= quint8(1 << c);
            cellsHeight = std::max(cellsHeight, linesHeight(*layOut(cells[c], w), half) + line_ -
                                                    bodyMetrics_->height());
        }
        shape.cells = float(cellsHeight);
        if (!comment.isEmpty())
            shape.note = float(std::min(wrappedHeight(note_, comment, width_ - indent), half));
        return shape;
    }
    void drawWrapped(const QString &text, QPointF at, double width, double most) {
        const auto layout = layOut(text, width);
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            if (i > 0 && line.y() + line.height() > most)
                break;
            line.draw(painter_, at);
        }
    }
    void drawHeading(bool continued) {
        const double height = lineHeight(heading_);
        if (painter_) {
            const QString text =
                continued ? cdTitle_ + QStringLiteral(" (continuación)") : cdTitle_;
            const QFontMetricsF metrics(heading_, &device_);
            draw(heading_, QRectF(0, y_, width_ * 0.8, height), Qt::AlignLeft | Qt::AlignBottom,
                 metrics.elidedText(text, Qt::ElideRight, width_ * 0.8));
            draw(body_, QRectF(width_ * 0.8, y_, width_ * 0.2, height),
                 Qt::AlignRight | Qt::AlignBottom, cdDate_);
        }
        y_ += height + line_ * 0.15;
        if (painter_) {
            painter_->setPen(QPen(QColor(80, 100, 120), width_ / 600));
            painter_->drawLine(QPointF(0, y_), QPointF(width_, y_));
            painter_->setPen(Qt::black);
        }
        y_ += line_ * 0.15;
    }
    void drawColumnTitles() {
        double x = 0;
        for (const Column &column : kColumns) {
            draw(bold_, QRectF(x, y_, width_ * column.width, line_),
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
        draw(note_, QRectF(0, y_, width_, line_), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Sin programas."));
        y_ += line_;
    }
    void drawFooter() {
        if (!painter_)
            return;
        painter_->setPen(QColor(90, 90, 90));
        const QRectF area(0, device_.height() - lineHeight(small_), width_, lineHeight(small_));
        draw(small_, area, Qt::AlignLeft | Qt::AlignVCenter, title_);
        draw(small_, area, Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("Página %1 de %2").arg(page_).arg(std::max(page_, pageCount_)));
        painter_->setPen(Qt::black);
    }
    void newPage() {
        drawFooter();
        if (painter_)
            device_.newPage();
        ++page_;
        y_ = 0;
        if (painter_ && progress_)
            progress_(page_, pageCount_);
    }

    QPainter *painter_;
    QPagedPaintDevice &device_;
    QString title_;
    std::vector<RowShape> &shapes_;
    int pageCount_;
    const PageProgress &progress_;
    QFont body_, small_, note_, bold_, heading_, titleFont_;
    std::optional<QFontMetricsF> bodyMetrics_;
    std::vector<float> advances_ = std::vector<float>(0x10000, -1.0f);
    double width_ = 0;
    double line_ = 0;
    double pad_ = 0;
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

bool paintReport(const store::ReportSource &source, const QString &title, QPagedPaintDevice &device,
                 const PageProgress &pages) {
    if (pages)
        pages(0, 0);
    // Counted before the painting starts, so that a printer is sent nothing until then.
    std::vector<RowShape> shapes;
    int pageCount = 0;
    {
        Pages counting(nullptr, device, title, shapes, 0, pages);
        source(counting);
        counting.finish();
        pageCount = counting.pages();
    }
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    try {
        Pages report(&painter, device, title, shapes, pageCount, pages);
        source(report);
        report.finish();
    } catch (...) {
        if (auto *printer = dynamic_cast<QPrinter *>(&device))
            printer->abort();
        throw;
    }
    painter.end();
    return true;
}

QPageLayout reportPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                       QPageLayout::Millimeter);
}

void writeReportPdf(const store::ReportSource &source, const QString &title,
                    const store::FilePath &path, store::FileCalls &files, const PageProgress &pages,
                    const QPageLayout &layout) {
    store::ReplacementFile file(path, files);
    FileDevice device(file);
    {
        QPdfWriter pdf(&device);
        pdf.setPageLayout(layout);
        pdf.setResolution(300);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("Vadrel"));
        if (!paintReport(source, title, pdf, pages))
            throw store::FileError(store::FileError::Cause::Other, path.text,
                                   QStringLiteral("the PDF writer could not start"));
    }
    device.finish();
    file.commit();
}
