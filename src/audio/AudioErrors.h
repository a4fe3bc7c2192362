#pragma once

#include <QString>
#include <stdexcept>

// The audio library reports failures by exceptions. Every class carries the
// message exactly as it is shown to the user.
class EACMError : public std::runtime_error
{
public:
    explicit EACMError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

class EACMCodecError : public EACMError
{
public:
    using EACMError::EACMError;
};

class EACMConversionError : public EACMError
{
public:
    using EACMError::EACMError;
};

class EACMAudioStreamError : public EACMError
{
public:
    using EACMError::EACMError;
};

class EACMAudioReadError : public EACMAudioStreamError
{
public:
    using EACMAudioStreamError::EACMAudioStreamError;
};

class EACMAudioIOError : public EACMError
{
public:
    using EACMError::EACMError;
};

class EACMAudioInError : public EACMAudioIOError
{
public:
    using EACMAudioIOError::EACMAudioIOError;
};

class EACMAudioOutError : public EACMAudioIOError
{
public:
    using EACMAudioIOError::EACMAudioIOError;
};

class EACMDeviceError : public EACMError
{
public:
    using EACMError::EACMError;
};

class EACMDeviceOutError : public EACMDeviceError
{
public:
    using EACMDeviceError::EACMDeviceError;
};

// Misuse of a sub-stream window; not part of the EACMError family.
class ESubStreamError : public std::runtime_error
{
public:
    explicit ESubStreamError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};
