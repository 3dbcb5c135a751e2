// The scripted scanner and its worker.
#include "tests/ui/ScriptedWorker.h"

#include "platform/Error.h"
#include "scan/ScanHost.h"
#include "scan/Scanner.h"
#include "signature/Signature.h"

namespace {

class ScriptedScanner : public TScanner {
public:
    ScriptedScanner(TScanHost* aWorker, Script aScript) : TScanner(aWorker), script_(std::move(aScript)) {}

    bool ScanNext() override
    {
        if (next_ < script_.objects.size()) {
            const ScriptedObject& object = script_.objects[next_];
            FScannerThread->SetScanInfo(object.name, Percentage(static_cast<std::int32_t>(next_), script_.objects.size()));
            if (object.finding)
                FScannerThread->AddFinding(*object.finding);
            if (next_ == 0) {
                for (const TSkipped kind : script_.skipped)
                    FScannerThread->CountSkipped(kind);
            }
            ++next_;
            return true;
        }
        if (script_.failure)
            throw AppError(*script_.failure);
        if (!script_.holdOpen)
            return false;
        Sleep(5);
        return true;
    }

private:
    Script script_;
    std::size_t next_ = 0;
};

} // namespace

std::unique_ptr<TScannerThread> StartScriptedWorker(const Script& aScript)
{
    auto worker = std::make_unique<TScannerThread>([] { return nullptr; }, [&aScript](TScanHost* aHost) {
        std::vector<std::unique_ptr<TScanner>> queue;
        queue.push_back(std::make_unique<ScriptedScanner>(aHost, aScript));
        return queue;
    });
    worker->StartThread();
    return worker;
}

std::unique_ptr<TScannerThread> ScriptedMainFrm::CreateWorker()
{
    if (scripts.empty())
        return TMainFrm::CreateWorker();
    auto worker = StartScriptedWorker(scripts.front());
    scripts.pop_front();
    return worker;
}

TFinding Hit(const std::wstring& aObject, const std::wstring& aThreat, TFindingKind aKind)
{
    return {aObject, aThreat, aKind, 0};
}
