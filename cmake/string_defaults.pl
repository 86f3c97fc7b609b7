#!/usr/bin/perl
# Rewrites the EMPTY_STRING_DEFAULT marker of the IDL as the empty string in a compiled type
# library: perl empty_string_defaults.pl LARKLIB8.tlb
#
# widl stores a marker default of a ByRef String as a custom-data value of eight bytes: the
# variant type VT_BSTR (08 00), the marker's four bytes, two bytes of padding. A string value has
# the same layout with a four-byte length in place of the marker, so the empty string fits in
# place and nothing else in the file moves.
use strict;
use warnings;

my $file = shift or die "usage: empty_string_defaults.pl TLB\n";
open(my $in, '<:raw', $file) or die "$file: $!\n";
my $data = do { local $/; <$in> };
close($in);

my $marker = "\x08\x00\x31\x4B\x52\x4C";
my $count = () = $data =~ /\Q$marker\E/g;
die "$file: no empty-string default marker found\n" if $count == 0;
$data =~ s/\Q$marker\E/\x08\x00\x00\x00\x00\x00/g;

open(my $out, '>:raw', "$file.tmp") or die "$file.tmp: $!\n";
print $out $data;
close($out) or die "$file.tmp: $!\n";
rename("$file.tmp", $file) or die "$file: $!\n";
