#pragma once
// Every control carries its numeric id as the dynamic property "controlId",
// so commands, tests and neighbouring windows address controls by id.

#include <QObject>
#include <QVariant>

inline constexpr const char* kControlIdProperty = "controlId";

template <typename T>
T* WithId(T* object, int id) {
  object->setProperty(kControlIdProperty, id);
  return object;
}

inline int ControlIdOf(const QObject* object) {
  const QVariant id = object ? object->property(kControlIdProperty) : QVariant();
  return id.isValid() ? id.toInt() : -1;
}
