#!/usr/bin/perl
# Prints the record numbers of an NDX index file in index order, one per
# line, as Perl's XBase::Index reads them.
use strict;
use warnings;
use XBase::Index;

my $file = shift @ARGV or die "usage: ndx_walk.pl FILE.ndx\n";
my $index = XBase::Index->new($file) or die XBase::Index->errstr;
$index->prepare_select or die $index->errstr;
while (my ($key, $recno) = $index->fetch) {
  print "$recno\n";
}
