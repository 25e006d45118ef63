#include "file_digest.h"

#include <vector>

#include "platform_operations.h"

namespace platform {

namespace {

using Status = LONG; // NTSTATUS: negative on failure
using OpenAlgorithm = Status(WINAPI *)(void **algorithm, LPCWSTR id, LPCWSTR implementation,
                                       ULONG flags);
using CloseAlgorithm = Status(WINAPI *)(void *algorithm, ULONG flags);
using GetProperty = Status(WINAPI *)(void *object, LPCWSTR property, UCHAR *output, ULONG size,
                                     ULONG *result, ULONG flags);
using CreateHash = Status(WINAPI *)(void *algorithm, void **hash, UCHAR *object, ULONG objectSize,
                                    UCHAR *secret, ULONG secretSize, ULONG flags);
using HashData = Status(WINAPI *)(void *hash, UCHAR *input, ULONG size, ULONG flags);
using FinishHash = Status(WINAPI *)(void *hash, UCHAR *output, ULONG size, ULONG flags);
using DestroyHash = Status(WINAPI *)(void *hash);

} // namespace

struct Sha256Hasher::Functions {
    OpenAlgorithm open;
    CloseAlgorithm close;
    GetProperty getProperty;
    CreateHash create;
    HashData hashData;
    FinishHash finish;
    DestroyHash destroy;

    bool Complete() const {
        return open && close && getProperty && create && hashData && finish && destroy;
    }
};

namespace {

std::unique_ptr<const Sha256Hasher::Functions> LoadFunctions(HMODULE library) {
    Sha256Hasher::Functions functions = {
        LibraryFunction<OpenAlgorithm>(library, "BCryptOpenAlgorithmProvider"),
        LibraryFunction<CloseAlgorithm>(library, "BCryptCloseAlgorithmProvider"),
        LibraryFunction<GetProperty>(library, "BCryptGetProperty"),
        LibraryFunction<CreateHash>(library, "BCryptCreateHash"),
        LibraryFunction<HashData>(library, "BCryptHashData"),
        LibraryFunction<FinishHash>(library, "BCryptFinishHash"),
        LibraryFunction<DestroyHash>(library, "BCryptDestroyHash")};
    if (!functions.Complete())
        return nullptr;
    return std::make_unique<const Sha256Hasher::Functions>(functions);
}

} // namespace

Sha256Hasher::Sha256Hasher(const std::optional<std::wstring> &systemDirectory) {
    if (!systemDirectory)
        return;
    library_ = LoadSystemLibrary(*systemDirectory, L"bcrypt.dll");
    if (!library_.IsOpen() || !(functions_ = LoadFunctions(library_.Get())))
        return;
    void *algorithm = nullptr;
    if (functions_->open(&algorithm, L"SHA256", nullptr, 0) >= 0)
        algorithm_ = algorithm;
}

Sha256Hasher::~Sha256Hasher() {
    if (algorithm_ != nullptr)
        functions_->close(algorithm_, 0);
}

DWORD Sha256Hasher::HashFile(HANDLE file, std::uint64_t size,
                             launcher::Sha256Digest &digest) const {
    return Hash([file, size](const Consume &consume) { return ReadWhole(file, size, consume); },
                digest);
}

DWORD Sha256Hasher::HashBytes(const std::string &bytes, launcher::Sha256Digest &digest) const {
    return Hash(
        [&bytes](const Consume &consume) {
            consume(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
            return DWORD{0};
        },
        digest);
}

DWORD Sha256Hasher::Hash(const Feed &feed, launcher::Sha256Digest &digest) const {
    if (!IsAvailable())
        return ERROR_NOT_SUPPORTED;
    // Vista wants the hash object's memory from the caller; later Windows accept it either way.
    ULONG objectSize = 0, written = 0;
    if (functions_->getProperty(algorithm_, L"ObjectLength", reinterpret_cast<UCHAR *>(&objectSize),
                                sizeof objectSize, &written, 0) < 0)
        return ERROR_NOT_SUPPORTED;
    std::vector<UCHAR> object(objectSize);
    void *hash = nullptr;
    if (functions_->create(algorithm_, &hash, object.data(), objectSize, nullptr, 0, 0) < 0)
        return ERROR_NOT_SUPPORTED;
    bool hashed = true;
    const DWORD error = feed([&](const unsigned char *bytes, std::size_t length) {
        hashed = hashed && functions_->hashData(hash, const_cast<UCHAR *>(bytes),
                                                static_cast<ULONG>(length), 0) >= 0;
    });
    hashed = hashed && functions_->finish(hash, digest.data(), digest.size(), 0) >= 0;
    functions_->destroy(hash);
    if (error != 0)
        return error;
    return hashed ? 0 : ERROR_GEN_FAILURE;
}

} // namespace platform
