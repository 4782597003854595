#include "platform/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>

namespace platform {

namespace {

// Keeps the popup list's selected item on the list's current entry while the popup is closed. Qt
// selects it only when the popup opens, and hovering in the popup moves it without changing the
// entry. The popup's own selection is never touched while it is open or closing: Qt hides the
// popup first and then reads its current item to make the choice, so the entry is put back only
// once the event that closed the popup is over.
class ListFollower : public QObject {
public:
    explicit ListFollower(QComboBox *combo)
        : QObject(combo)
        , combo_(combo) {
        setObjectName(QLatin1String(kName));
        select();
        connect(combo, &QComboBox::currentIndexChanged, this, &ListFollower::select);
        if (combo->view())
            combo->view()->installEventFilter(this);
    }
    static void follow(QComboBox *combo) {
        // By name: a class of its own without a meta-object would match any child.
        if (!combo->findChild<QObject *>(QLatin1String(kName), Qt::FindDirectChildrenOnly))
            new ListFollower(combo);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Hide)
            QMetaObject::invokeMethod(this, &ListFollower::selectWhenClosed, Qt::QueuedConnection);
        return false;
    }

private:
    static constexpr const char *kName = "vadrel-list-follower";
    void selectWhenClosed() {
        if (combo_->view() && !combo_->view()->isVisible())
            select();
    }
    void select() {
        QAbstractItemView *list = combo_->view();
        if (!list || !list->selectionModel())
            return;
        const QModelIndex current = combo_->model()->index(
            combo_->currentIndex(), combo_->modelColumn(), combo_->rootModelIndex());
        if (current.isValid())
            list->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
        else
            list->selectionModel()->clear();
    }
    QComboBox *combo_;
};

// A drop-down list as the toolkits present it to screen readers: the name is the current entry,
// the label comes through the labelled-by relation (QAccessibleWidget finds the buddy label), and
// the popup list's selected item is the current entry.
class AccessibleComboBox : public QAccessibleWidget {
public:
    explicit AccessibleComboBox(QComboBox *combo)
        : QAccessibleWidget(combo, QAccessible::ComboBox) {
        ListFollower::follow(combo);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name || t == QAccessible::Value)
            return combo()->isEditable() ? combo()->lineEdit()->text() : combo()->currentText();
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
