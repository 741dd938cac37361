#pragma once

namespace vorlaxen {

// The default encryption method as the method buttons of the status area set it: each call makes its
// method the "Method" setting, puts its button down and gives the method-change notice (which expires the
// held session password).
class MethodSelection {
public:
    virtual ~MethodSelection() = default;
    virtual void SetDES() = 0;       // CipherMethod::Des
    virtual void SetIDEA() = 0;      // CipherMethod::Idea
    virtual void SetTripleDES() = 0; // CipherMethod::TripleDes
};

} // namespace vorlaxen
