#include "tests/realtime/audio_thread_counter.h"

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/types.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>

#if defined(__SANITIZE_ADDRESS__)
#define PQ_COUNT_WITH_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PQ_COUNT_WITH_HOOKS 1
#endif
#endif
#ifdef PQ_COUNT_WITH_HOOKS
// The sanitizer runtime's allocator hooks (not every compiler ships the header declaring them).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
#endif

namespace rtcount {
namespace {

// Plain thread-local data in the executable: reading it never allocates.
thread_local bool tCounting = false;
thread_local Counts tCounts;

inline void countAllocation() {
    if (tCounting) ++tCounts.allocations;
}
inline void countLock() {
    if (tCounting) ++tCounts.locks;
}
inline void countSystemCall() {
    if (tCounting) ++tCounts.systemCalls;
}

template <class F> F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

#ifdef PQ_COUNT_WITH_HOOKS
// The sanitizer's allocator owns malloc; it calls these hooks for every allocation.
void onMalloc(const volatile void*, size_t) {
    countAllocation();
}
void onFree(const volatile void*) {}
[[maybe_unused]] const int kHooksInstalled = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
#endif

} // namespace

void start() {
    tCounts = {};
    tCounting = true;
}

Counts stop() {
    tCounting = false;
    return tCounts;
}

int64_t voluntarySwitches() {
    std::FILE* status = std::fopen("/proc/thread-self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long long value = -1;
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "voluntary_ctxt_switches: %lld", &value) == 1) break;
    std::fclose(status);
    return value;
}

} // namespace rtcount

using rtcount::countLock;
using rtcount::countSystemCall;
using rtcount::next;

extern "C" {

#ifndef PQ_COUNT_WITH_HOOKS
// Without the sanitizer the C library's allocator is reached under its own names.
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);

void* malloc(size_t size) {
    rtcount::countAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    rtcount::countAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    rtcount::countAllocation();
    return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) {
    rtcount::countAllocation();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    rtcount::countAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    rtcount::countAllocation();
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return 22; // EINVAL
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr) return 12; // ENOMEM
    *out = block;
    return 0;
}
#endif

int pthread_mutex_lock(pthread_mutex_t* m) {
    static const auto real = next<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
    countLock();
    return real(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    static const auto real = next<int (*)(pthread_mutex_t*)>("pthread_mutex_trylock");
    countLock();
    return real(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l) {
    static const auto real = next<int (*)(pthread_rwlock_t*)>("pthread_rwlock_rdlock");
    countLock();
    return real(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) {
    static const auto real = next<int (*)(pthread_rwlock_t*)>("pthread_rwlock_wrlock");
    countLock();
    return real(l);
}
int sem_wait(sem_t* s) {
    static const auto real = next<int (*)(sem_t*)>("sem_wait");
    countLock();
    return real(s);
}

ssize_t read(int fd, void* buffer, size_t size) {
    static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    countSystemCall();
    return real(fd, buffer, size);
}
ssize_t write(int fd, const void* buffer, size_t size) {
    static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    countSystemCall();
    return real(fd, buffer, size);
}
int close(int fd) {
    static const auto real = next<int (*)(int)>("close");
    countSystemCall();
    return real(fd);
}
FILE* fopen(const char* path, const char* mode) {
    static const auto real = next<FILE* (*)(const char*, const char*)>("fopen");
    countSystemCall();
    return real(path, mode);
}
int nanosleep(const struct timespec* wanted, struct timespec* left) {
    static const auto real = next<int (*)(const struct timespec*, struct timespec*)>("nanosleep");
    countSystemCall();
    return real(wanted, left);
}
int usleep(useconds_t micros) {
    static const auto real = next<int (*)(useconds_t)>("usleep");
    countSystemCall();
    return real(micros);
}
int sched_yield() {
    static const auto real = next<int (*)()>("sched_yield");
    countSystemCall();
    return real();
}

} // extern "C"
