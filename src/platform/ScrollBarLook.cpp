#include "platform/ScrollBarLook.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionSlider>

namespace platform {

namespace {

class DistinctThumbs : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
        if (control != CC_ScrollBar || !bar || bar->maximum <= bar->minimum ||
            !(bar->subControls & SC_ScrollBarSlider))
            return;
        const QRect thumb = subControlRect(control, option, SC_ScrollBarSlider, widget);
        const QColor trough = option->palette.color(QPalette::Button);
        // Away from the trough's shade, on dark palettes too; deeper under the mouse and pressed.
        int step = 125;
        if (bar->activeSubControls & SC_ScrollBarSlider) {
            if (option->state & State_Sunken)
                step = 155;
            else if (option->state & State_MouseOver)
                step = 140;
        }
        painter->save();
        painter->setPen(option->palette.color(QPalette::Dark));
        painter->setBrush(trough.lightness() < 128 ? trough.lighter(step + 25)
                                                   : trough.darker(step));
        painter->drawRect(thumb.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

} // namespace

void useDistinctScrollBarThumbs() {
    const QString style = QApplication::style()->name();
    if (style.compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0)
        QApplication::setStyle(new DistinctThumbs(style));
}

} // namespace platform
