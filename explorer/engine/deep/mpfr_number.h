// A thin owner of one MPFR number: its precision is chosen per value, and the
// arithmetic is MPFR's own calls (in place, no temporaries). Not shared
// between threads.
#pragma once

#include <mpfr.h>

#include <utility>

namespace explorer::deep {

class Mpfr {
public:
    explicit Mpfr(mpfr_prec_t bits = 64)
    {
        mpfr_init2(v_, bits);
        mpfr_set_zero(v_, 1);
    }
    Mpfr(const Mpfr& o)
    {
        mpfr_init2(v_, mpfr_get_prec(o.v_));
        mpfr_set(v_, o.v_, MPFR_RNDN);
    }
    Mpfr(Mpfr&& o) noexcept
    {
        mpfr_init2(v_, 2);
        mpfr_swap(v_, o.v_);
    }
    Mpfr& operator=(const Mpfr& o)
    {
        if (this != &o) {
            mpfr_set_prec(v_, mpfr_get_prec(o.v_));
            mpfr_set(v_, o.v_, MPFR_RNDN);
        }
        return *this;
    }
    Mpfr& operator=(Mpfr&& o) noexcept
    {
        mpfr_swap(v_, o.v_);
        return *this;
    }
    ~Mpfr() { mpfr_clear(v_); }

    mpfr_ptr get() { return v_; }
    mpfr_srcptr get() const { return v_; }
    mpfr_prec_t bits() const { return mpfr_get_prec(v_); }
    // Changes the precision, keeping the value (rounded to nearest).
    void setBits(mpfr_prec_t bits) { mpfr_prec_round(v_, bits, MPFR_RNDN); }

private:
    mpfr_t v_;
};

} // namespace explorer::deep
