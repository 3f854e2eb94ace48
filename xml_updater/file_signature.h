// The signed-file check of the XML update engine: executables and cabinets it
// runs, unpacks or downloads must carry an embedded signature of an accepted
// publisher (the deployment profile's names) under a pinned root.
#pragma once

#include <string>

#include "platform/system/file.h"
#include "platform/system/file_view.h"

// True when the file carries an accepted signature. The check runs once and,
// when that pass accepts the file but met an ECDSA-signed certificate in a
// chain, a second time with the machine's chain engine, whose result counts.
// Logs nothing: callers log and decide what happens to the file.
bool VerifyCorvaneSignatureImpl(const std::wstring& filePath);

// The same check over a file the caller holds open, so that the file checked
// is the file the caller then runs or unpacks.
bool VerifyCorvaneSignatureImpl(const rk::sys::File& file);

// The same over a view of the file that the caller goes on to parse, so that
// the bytes checked are the bytes used.
bool VerifyCorvaneSignatureImpl(const rk::sys::FileView& view);
