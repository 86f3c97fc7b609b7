#!/usr/bin/perl
# Writes the String defaults of ByRef parameters into a compiled type library:
#   perl string_defaults.pl LARKLIB8.tlb
#
# widl writes no string default for a ByRef String, so the IDL gives such a parameter a numeric
# marker as its default (the table below). widl stores it as a custom-data value of eight bytes:
# the variant type VT_BSTR (08 00), the marker's four bytes, two bytes of padding. A string value
# has the same layout with a four-byte length in place of the marker, followed by its characters
# and padded to four bytes. A string of up to two characters fits in place; a longer one is
# appended to the custom-data segment and the parameters' default offsets are pointed at it.
use strict;
use warnings;
use FindBin;
use lib $FindBin::Bin;
use TypeLibFile;

my %defaults = (
    0x4C524B31 => '',                  # EMPTY_STRING_DEFAULT
    0x4C524B32 => 'All (*.*)| *.*',    # ALL_FILES_FILTER_DEFAULT
);

my $file = shift or die "usage: string_defaults.pl TLB\n";
loadTypeLib($file);
my ($custom, $customLength) = segment(11);
my @types = typeDescriptions();

my (%moved, %found);
my $appended = '';
for (my $at = 0; $at + 8 <= $customLength; $at += 4) {
    my ($vt, $marker) = unpack('vV', substr($data, $custom + $at, 6));
    next unless $vt == 8 && exists $defaults{$marker};
    my $text = $defaults{$marker};
    my $value = pack('vV', 8, length $text) . $text;
    $value .= "\0" x (-length($value) % 4);
    $found{$marker}++;
    if (length $value <= 8) {
        substr($data, $custom + $at, length $value) = $value;
    } else {
        $moved{$at} = $customLength + length $appended;
        $appended .= $value;
    }
}
for my $marker (keys %defaults) {
    die sprintf("%s: no default marker 0x%X found\n", $file, $marker) unless $found{$marker};
}

# A member record: its size in the low word of its first field, flags with bit 0x1000 for default
# values at 16, the parameter count at 20; at its end one default offset per parameter, then the
# parameters themselves (12 bytes each).
my $pointed = 0;
for my $type (@types) {
    my $records = int32($type + 4);
    next if $records < 0;
    my $record = $records + 4;
    for (1 .. (int32($type + 0x18) & 0xFFFF)) {
        my $size = int32($record) & 0xFFFF;
        my $count = unpack('s<', substr($data, $record + 20, 2));
        if (int32($record + 16) & 0x1000) {
            for my $slot (map { $record + $size - 16 * $count + 4 * $_ } 0 .. $count - 1) {
                next unless exists $moved{int32($slot)};
                setInt32($slot, $moved{int32($slot)});
                $pointed++;
            }
        }
        $record += $size;
    }
}
die "$file: a moved default is used by no parameter\n" if $pointed < keys %moved;

growSegment(11, $appended);
saveTypeLib();
