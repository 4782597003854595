#pragma once

#include <QObject>
#include <QString>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

// The widget of type T named `name` inside `window`, as the windows name their widgets. When
// there is none the test fails at once: it cannot go on without the widget.
template <class T> T *child(const QObject *window, const char *name) {
    T *found = window ? window->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!found) {
        ADD_FAILURE() << "no widget named " << name;
        throw std::runtime_error(std::string("no widget named ") + name);
    }
    return found;
}
