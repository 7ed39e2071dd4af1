// Test jobs whose every ticket says whose it is: a text line naming round,
// client and job, then a raster image drawn from the same three numbers, so
// no two jobs print alike and a ticket mixing two jobs matches neither.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace delivery {

struct JobId {
    int round = 0, client = 0, job = 0;
    bool operator==(const JobId& o) const { return round == o.round && client == o.client && job == o.job; }
    std::string text() const;
};

// Raster rows of a small job: 24 to 95, so some jobs outgrow the line's
// credit window and some do not.
int small_job_rows(const JobId& id);
// ESC @, the identity text, `rows` raster rows 58 bytes wide, a feed and a cut.
std::vector<uint8_t> job_bytes(const JobId& id, int rows);

}  // namespace delivery
