// The key tools of the library: an RSA key pair in PEM files, and the authentication of a text
// file in which the SHA-256 digest of the text is sealed with the public key (RSA-OAEP), so that
// only the holder of the private key can check it. docs/file-formats.md, "Authenticated texts".
#pragma once

#include <string>

namespace ordavo::mfd {

// 0, or kOutputError when a key file cannot be written.
int GenerateKeys(const std::string& public_key, const std::string& private_key);
// 0 signed; kTextFileError (text unreadable), kBadKey, kOutputError.
int AuthenticateText(const std::string& text, const std::string& signed_text, const std::string& public_key);
// 0 valid; kInvalid (changed, not authenticated, other key), kBadFile (unreadable), kBadKey.
int ValidateText(const std::string& signed_text, const std::string& private_key);

}  // namespace ordavo::mfd
