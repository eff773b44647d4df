// The informational texts of sondrel: short banner, usage and information.
#pragma once

void print_short_banner();
void print_usage_text();
void print_information_text();
