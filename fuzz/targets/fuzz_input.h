// Splitting a fuzzer's input into the arguments of the routine under test: a few leading bytes
// for choices, then NUL-separated text fields, then whatever is left. Also brings the stand-in's
// simulated machine, which the targets set up and check.
#pragma once

#include "machine_internal.h"
#include "simulated_machine.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

// Stops the run so that libFuzzer records the input: a broken property is a finding, as a
// sanitizer report is.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #condition);     \
            abort();                                                                               \
        }                                                                                          \
    } while (0)

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size), m_pos(0) {}

    // The next byte, or 0 once the input is used up.
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

    uint32_t Word()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t(Byte()) << (8 * i);
        return value;
    }

    // Text up to the next NUL (which is consumed) or the end of the input.
    std::string Field()
    {
        size_t start = m_pos;
        while (m_pos < m_size && m_data[m_pos] != 0)
            ++m_pos;
        std::string text(reinterpret_cast<const char*>(m_data + start), m_pos - start);
        if (m_pos < m_size)
            ++m_pos;
        return text;
    }

    std::string Rest()
    {
        std::string text(reinterpret_cast<const char*>(m_data + m_pos), m_size - m_pos);
        m_pos = m_size;
        return text;
    }

    bool Empty() const { return m_pos >= m_size; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos;
};

// A heap block of exactly `size` bytes holding `text` cut to size - 1 and a NUL, so that
// AddressSanitizer sees any access behind it; without a size, `text` up to its first NUL and the
// NUL. The block is freed with the object.
class Exact {
public:
    Exact(const std::string& text, size_t size)
        : m_block(static_cast<char*>(malloc(size ? size : 1)))
    {
        size_t length = text.size() < size - 1 ? text.size() : size - 1;
        if (size != 0) {
            memcpy(m_block, text.data(), length);
            m_block[length] = '\0';
        }
    }
    explicit Exact(const std::string& text) : Exact(text.c_str(), strlen(text.c_str()) + 1) {}
    Exact(const Exact&) = delete;
    Exact& operator=(const Exact&) = delete;
    ~Exact() { free(m_block); }

    operator char*() const { return m_block; }

private:
    char* m_block;
};
