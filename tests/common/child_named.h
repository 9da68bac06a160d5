#pragma once

// The part of a window that the user knows by its object name: an action, a menu or a widget.
// A missing part fails the test that asked for it.

#include <QAction>
#include <QObject>
#include <QString>
#include <gtest/gtest.h>

template <class T = QAction> T* ChildNamed(const QObject& window, const char* name) {
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << "no part named " << name;
    return child;
}
