#include "Accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace platform {

namespace {

// Qt's own interface for drop-down lists answers the name with the current entry on Linux, so a
// screen reader never says what the list is for. This one takes the name from the label.
class AccessibleComboBox : public QAccessibleWidget {
public:
    explicit AccessibleComboBox(QComboBox *combo)
        : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    // The name stays QAccessibleWidget's: the accessible name if set, else the buddy label's text.
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return combo()->currentText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = isPopupShown();
        s.editable = combo()->isEditable();
        return s;
    }

    // The popup list keeps the entries reachable; an editable list has its text box too.
    int childCount() const override { return combo()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1 && combo()->isEditable())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        if (!child)
            return -1;
        if (child->object() == combo()->view())
            return 0;
        if (combo()->isEditable() && child->object() == combo()->lineEdit())
            return 1;
        return -1;
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override {
        if (action != showMenuAction() && action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (!combo()->isEnabled())
            return;
        if (isPopupShown())
            combo()->hidePopup();
        else
            combo()->showPopup();
    }
    QStringList keyBindingsForAction(const QString &action) const override {
        if (action == showMenuAction() || action == pressAction())
            return {QStringLiteral("Alt+Down")};
        return QAccessibleWidget::keyBindingsForAction(action);
    }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(object()); }
    bool isPopupShown() const { return combo()->view() && combo()->view()->isVisible(); }
};

QAccessibleInterface *comboBoxFactory(const QString &className, QObject *object) {
    if (className != QLatin1String("QComboBox"))
        return nullptr;
    if (auto *combo = qobject_cast<QComboBox *>(object))
        return new AccessibleComboBox(combo);
    return nullptr;
}

} // namespace

void installAccessibility() {
    // The last factory installed is asked first; removing ours first keeps it there, and once.
    QAccessible::removeFactory(comboBoxFactory);
    QAccessible::installFactory(comboBoxFactory);
}

} // namespace platform
