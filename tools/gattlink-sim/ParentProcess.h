#ifndef PARENTPROCESS_H
#define PARENTPROCESS_H

#include <memory>

// The process that started this one, as it was at construction. A companion must not outlive
// the overlay that started it, or the next overlay would start a second one beside it.
class ParentProcess
{
public:
    ParentProcess();
    ~ParentProcess();
    ParentProcess(const ParentProcess &) = delete;
    ParentProcess &operator=(const ParentProcess &) = delete;

    // True once that process has ended.
    bool isGone() const;

private:
    struct Native;
    std::unique_ptr<Native> native;
};

#endif // PARENTPROCESS_H
