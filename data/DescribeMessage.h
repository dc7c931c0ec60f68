#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>

// Renders an exchange message as the readable text of a log line. A request
// starts with its command code; a reply starts with its error code and is
// read by the command of the request it answers. withData appends the bytes
// after the header as decimal numbers.
QString DescribeMessage(bool asRequest, QByteArrayView message, std::uint8_t command, bool withData);
