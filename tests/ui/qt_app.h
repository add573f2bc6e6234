// The QApplication of the window tests lives in main (ui_main.cc), so that
// it ends before Qt's own statics do.
#pragma once

#include <QApplication>

namespace edi::test {

inline QApplication& TestApplication() { return *static_cast<QApplication*>(QCoreApplication::instance()); }

}  // namespace edi::test
