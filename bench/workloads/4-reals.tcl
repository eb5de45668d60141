# real arithmetic with truncation, rounding and number formatting
proc main {} {
  set acc 0; set x 0.5
  for {set i 1} {$i <= 1000000} {incr i} {
    set x [expr {$x * 1.000001 + 0.25}]
    set y [expr {$x / 3.0 - 1.5}]
    incr acc [expr {int($y) + round($x)}]
  }
  puts "$acc [format %.15g $x]"
}
main
