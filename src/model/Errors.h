#pragma once
// The small family of failures raised by the model and the file code. They are caught once, by
// the command handler (or the CLI) that reports them; the engine never throws.

#include <stdexcept>
#include <string>

// Base of every failure the core raises; what() is the text shown to the user.
class CTwError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file could not be read or written, or its bytes are not what we expect.
class CFileError : public CTwError {
public:
    using CTwError::CTwError;
};

// A bad index or argument reached a model function (a programming error, reported not crashed).
class CInvalidArgument : public CTwError {
public:
    CInvalidArgument() : CTwError("An invalid argument was encountered.") {}
    using CTwError::CTwError;
};

// Memory for a model object could not be had. Every reader and maker reports running out of
// memory with this one text.
class COutOfMemory : public CTwError {
public:
    COutOfMemory() : CTwError("Insufficient memory to perform operation.") {}
};

// The program has already told the user what went wrong; the handler stays silent.
class CUserAbort : public CTwError {
public:
    CUserAbort() : CTwError("") {}
};

// Throws CInvalidArgument unless 0 <= index < count.
inline void CheckIndex(long long index, long long count)
{
    if (index < 0 || index >= count) throw CInvalidArgument();
}
