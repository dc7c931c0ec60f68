#pragma once

#include <QByteArray>

#include <initializer_list>

// A message written as its byte values: bytes({0, 22, 0}).
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (const int value : values)
        result.append(char(value));
    return result;
}
