// The object roots: TObject, assignable TPersistent, and TComponent with owner ownership,
// removal notifications and the loading and designing states.
#pragma once

#include "Types.h"

#include <functional>
#include <string>
#include <vector>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
    // The dynamic class's own name, e.g. "TfoMain".
    std::string ClassName() const;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

// An object that can copy another of a compatible class into itself.
class TPersistent : public TObject {
public:
    // Copies Source into this object; raises EConvertError when the classes do not fit.
    virtual void Assign(const TPersistent& source);

protected:
    // Lets Source copy itself into Dest when Dest does not know it; the default refuses.
    virtual void AssignTo(TPersistent& dest) const;
};

enum class TComponentState { csLoading, csDesigning, csDestroying };
enum class TOperation { opInsert, opRemove };

// A component belongs to its owner, which frees it. Components that refer to others
// ask for FreeNotification and are told through Notification when those go away.
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const;
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    int Tag = 0;

    TSet<TComponentState> ComponentState() const { return state_; }
    bool Loading() const { return state_.Contains(TComponentState::csLoading); }
    bool Designing() const { return state_.Contains(TComponentState::csDesigning); }
    bool Destroying() const { return state_.Contains(TComponentState::csDestroying); }

    // Marks this component and everything it owns as being loaded; EndLoading then
    // calls Loaded on each, owned components first.
    void BeginLoading();
    void EndLoading();
    // Form-designer state; the program never sets it.
    void SetDesigning(bool designing);

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    // Asks to be told (Notification with opRemove) when Component is destroyed.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

protected:
    // Called once loading has ended; clears the loading state.
    virtual void Loaded();
    virtual void Notification(TComponent* component, TOperation operation);
    // Frees every owned component, last first; safe to call more than once.
    void DestroyComponents();
    void MarkDestroying() { state_.Include(TComponentState::csDestroying); }

private:
    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    TSet<TComponentState> state_;
};

// Frees an object and empties the pointer.
template <typename T>
void FreeAndNil(T*& object) {
    T* doomed = object;
    object = nullptr;
    delete doomed;
}
