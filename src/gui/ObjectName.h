#pragma once
// Every control and menu entry that commands, tests or neighbouring windows
// look up carries an object name (QObject::objectName), and is found with
// findChild by that name.

#include <QObject>
#include <QString>

template <typename T>
T* Named(T* object, const char* name) {
  object->setObjectName(QString::fromLatin1(name));
  return object;
}
