#pragma once

#include <QObject>
#include <stdexcept>
#include <string>

namespace vorlaxen::test {

// The child of `parent` with this object name. A missing one throws instead of handing back a null
// pointer, so that a renamed widget fails the test with its name rather than crashing it: GoogleTest
// reports an exception thrown in a test body, ModalScript and AnswerNextModal one thrown in a step.
template <class T> T* Child(const QObject* parent, const char* name) {
    T* child = parent->findChild<T*>(name);
    if (!child)
        throw std::runtime_error(std::string("no ") + T::staticMetaObject.className() + " named " + name);
    return child;
}

} // namespace vorlaxen::test
